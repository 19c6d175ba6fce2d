#include "app/readouts_presenter.h"

#include "monitor/profile_list_text.h"
#include "monitor/profile_type.h"
#include "platform/format.h"
#include "ui/main_window_ids.h"
#include "ui/source_type_list.h"

namespace {
// Runs `show` with the newly published value when `now` was published since
// `shown`, and remembers it as shown.
template <typename T, typename Show>
void Take(const Published<T>& now, Published<T>& shown, Show show) {
    if (now.stamp == shown.stamp) return;
    shown = now;
    show(now.value);
}

std::string CapacityText(const std::optional<Capacity>& capacity) {
    if (!capacity) return "";
    return Format("%lu\r\n%lu", static_cast<unsigned long>(capacity->mah), static_cast<unsigned long>(capacity->mwh));
}

std::string MilliampsOrEmpty(const std::optional<uint16_t>& ma) {
    return ma ? Format("%dmA", *ma) : "";
}
}  // namespace

void ReadoutsPresenter::ShowText(int id, const std::string& text) {
    auto [it, added] = texts_.try_emplace(id, text);
    if (!added && it->second == text) return;
    it->second = text;
    window_.SetText(id, text);
}

void ReadoutsPresenter::Apply() {
    Readouts now = live_.CurrentReadouts();
    ApplySink(now);
    ApplySinkControls(now);
    ApplySource(now);
    Take(now.readingsLogPeriodMs, shown_.readingsLogPeriodMs, [this](uint32_t periodMs) {
        if (periodMs == 0) {
            window_.StopTimer(IDT_READINGS_LOG);
        } else {
            window_.StartTimer(IDT_READINGS_LOG, periodMs);
        }
    });
}

void ReadoutsPresenter::ApplySink(const Readouts& now) {
    Take(now.sinkProfile, shown_.sinkProfile, [this](const std::optional<ProfileKind>& kind) {
        ShowText(IDC_SINK_PROFILE_TYPE, kind ? std::string(ProfileTypeName(kind->type, kind->subtype)) : "");
    });
    Take(now.sinkRatedCurrentMa, shown_.sinkRatedCurrentMa,
         [this](const std::optional<uint16_t>& ma) { ShowText(IDC_SINK_RATED_CURRENT, MilliampsOrEmpty(ma)); });
    Take(now.sinkReadings, shown_.sinkReadings, [this](const std::optional<Measurement>& m) {
        ShowText(IDC_SINK_VBUS, m ? Format("%.2f V", m->SinkVolts()) : " ");
        ShowText(IDC_SINK_CURRENT, m ? Format("%d mA", m->sinkCurrentMa) : " ");
        ShowText(IDC_SINK_POWER, m ? Format("%.2f W", m->SinkPowerW()) : " ");
    });
    Take(now.temperatureC, shown_.temperatureC,
         [this](const std::optional<uint8_t>& c) { ShowText(IDC_TEMPERATURE, c ? Format("%d C", *c) : " "); });
    Take(now.sinkCapacity, shown_.sinkCapacity,
         [this](const std::optional<Capacity>& capacity) { ShowText(IDC_SINK_CAPACITY, CapacityText(capacity)); });
    Take(now.profileList, shown_.profileList, [this](const ProfileList& list) {
        window_.ClearItems(IDC_SELECT_PROFILE);
        for (size_t i = 0; i < list.entries.count; ++i)
            window_.AddItem(IDC_SELECT_PROFILE, ProfileListText(list.entries.entries[i]));
        window_.Enable(IDC_SELECT_PROFILE, list.enabled);
        window_.SelectItem(IDC_SELECT_PROFILE, list.selected);
    });
}

// The set point and voltage controls the user also works: ranges go before
// positions so a slider never clamps its new position to an old range.
void ReadoutsPresenter::ApplySinkControls(const Readouts& now) {
    Take(now.loadLimitMa, shown_.loadLimitMa, [this](uint16_t limitMa) {
        window_.SetRange(IDC_CURRENT_SLIDER, 0, limitMa);
        window_.SetText(IDC_CURRENT_SLIDER_MAX, Format("%dmA", limitMa));
    });
    Take(now.currentSliderMa, shown_.currentSliderMa, [this](int ma) { window_.SetPosition(IDC_CURRENT_SLIDER, ma); });
    Take(now.currentEditMa, shown_.currentEditMa,
         [this](int ma) { window_.SetText(IDC_CURRENT_EDIT, Format("%d", ma)); });
    Take(now.voltageRange, shown_.voltageRange, [this](const VoltageRange& range) {
        window_.SetRange(IDC_VOLTAGE_SLIDER, range.minimumMv, range.maximumMv);
        window_.SetLineSize(IDC_VOLTAGE_SLIDER, range.lineSize);
    });
    Take(now.voltageControlsEnabled, shown_.voltageControlsEnabled, [this](bool enabled) {
        for (int id : {IDC_VOLTAGE_EDIT, IDC_VOLTAGE_SET, IDC_VOLTAGE_SLIDER})
            window_.Enable(id, enabled);
    });
    Take(now.voltageSliderMv, shown_.voltageSliderMv, [this](int mv) { window_.SetPosition(IDC_VOLTAGE_SLIDER, mv); });
    Take(now.voltageEditMv, shown_.voltageEditMv,
         [this](int mv) { window_.SetText(IDC_VOLTAGE_EDIT, Format("%d", mv)); });
}

void ReadoutsPresenter::ApplySource(const Readouts& now) {
    Take(now.sourceProfile, shown_.sourceProfile, [this](const std::optional<SourceProfile>& p) {
        std::string name = p ? std::string(ProfileTypeName(p->kind.type, p->kind.subtype)) : "";
        ShowText(IDC_SOURCE_PROFILE_TYPE, p ? Format("%s %.0fV", name.c_str(), p->voltageMv / 1000.0) : "");
    });
    Take(now.sourceRatedCurrentMa, shown_.sourceRatedCurrentMa,
         [this](const std::optional<uint16_t>& ma) { ShowText(IDC_SOURCE_RATED_CURRENT, MilliampsOrEmpty(ma)); });
    Take(now.sourceRequestedCurrentMa, shown_.sourceRequestedCurrentMa,
         [this](const std::optional<uint16_t>& ma) { ShowText(IDC_SOURCE_REQUESTED_CURRENT, MilliampsOrEmpty(ma)); });
    Take(now.sourceReadings, shown_.sourceReadings, [this](const std::optional<Measurement>& m) {
        ShowText(IDC_SOURCE_VBUS, m ? Format("%.2f V", m->SourceVolts()) : " ");
        ShowText(IDC_SOURCE_CURRENT, m ? Format("%d mA", m->loopbackCurrentMa) : " ");
        ShowText(IDC_TOTAL_CURRENT, m ? Format("%d mA", m->TotalCurrentMa()) : " ");
        ShowText(IDC_SOURCE_POWER, m ? Format("%.2f W", m->SourcePowerW()) : " ");
    });
    Take(now.sourceCapacity, shown_.sourceCapacity,
         [this](const std::optional<Capacity>& capacity) { ShowText(IDC_SOURCE_CAPACITY, CapacityText(capacity)); });
    Take(now.sourceTypes, shown_.sourceTypes, [this](const SourceTypeList& types) {
        ListSourceTypes(window_, IDC_SELECT_SOURCE_TYPE, types.names, types.selected);
        window_.Enable(IDC_SELECT_SOURCE_TYPE, types.enabled);
    });
}
