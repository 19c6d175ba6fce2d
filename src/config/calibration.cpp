#include "config/calibration.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <limits>

#include "config/edit_number.h"
#include "platform/format.h"
#include "ui/config_ids.h"

namespace {

constexpr const char* kErrorTitle = "Voltiq Error";
constexpr const char* kConfirmTitle = "Voltiq";
constexpr uint32_t kSecondButtonDefault = 0x100;
constexpr int kVbus = 0;
constexpr float kLowestUsualGain = 0.9f;
constexpr float kHighestUsualGain = 1.1f;

// The sink channels use the source channels' spacing: two points 1 mV apart
// would give a calibration line that is mostly noise.
constexpr std::array<CalibrationChannel, 4> kChannels = {{
    {"Power Supply", "TX52", true, 4000, 20000, 10000},
    {"TX52", "Multimeter", false, 500, 3000, 2000},
    {"Power Supply", "TX52", true, 4000, 20000, 10000},
    {"TX52", "Multimeter", false, 500, 3000, 2000},
}};

int Quantity(int channel) {
    return channel % 2;
}

}  // namespace

const CalibrationChannel& CalibrationChannelInfo(int channel) {
    return kChannels.at(static_cast<size_t>(channel));
}

std::optional<CalibrationLine> LineThrough(int r1, int t1, int r2, int t2) {
    if (t1 == t2) return std::nullopt;
    float gain = static_cast<float>(r1 - r2) / static_cast<float>(t1 - t2);
    return CalibrationLine{gain, static_cast<float>(r1) - static_cast<float>(t1) * gain};
}

int Calibration::Channel() {
    int port = parts_.dialog.SelectedItem(IDC_CAL_PORT);
    int quantity = parts_.dialog.SelectedItem(IDC_CAL_QUANTITY);
    return (port > 0 ? 1 : 0) * 2 + (quantity > 0 ? 1 : 0);
}

void Calibration::Error(const std::string& text) {
    parts_.prompts.ShowMessage(text, kErrorTitle, Prompts::kOk | Prompts::kIconError);
}

void Calibration::Open() {
    Controls& d = parts_.dialog;
    d.ClearItems(IDC_CAL_PORT);
    d.AddItem(IDC_CAL_PORT, "Source");
    d.AddItem(IDC_CAL_PORT, "Sink");
    d.SelectItem(IDC_CAL_PORT, 0);
    d.ClearItems(IDC_CAL_QUANTITY);
    d.AddItem(IDC_CAL_QUANTITY, "VBUS");
    d.AddItem(IDC_CAL_QUANTITY, "Current");
    d.SelectItem(IDC_CAL_QUANTITY, 0);
    d.SetCheck(IDC_CAL_USER_POINTS, false);
    d.Enable(IDC_CAL_APPLIED_1, false);
    d.Enable(IDC_CAL_APPLIED_2, false);
    ShowChannel();
}

void Calibration::SetDefaultPoints() {
    const CalibrationChannel& info = CalibrationChannelInfo(Channel());
    parts_.dialog.SetText(IDC_CAL_APPLIED_1, std::to_string(info.defaultPoint1));
    parts_.dialog.SetText(IDC_CAL_APPLIED_2, std::to_string(info.defaultPoint2));
}

void Calibration::ShowNothingStored() {
    Controls& d = parts_.dialog;
    for (int id : {IDC_CAL_DATE, IDC_CAL_GAIN, IDC_CAL_OFFSET})
        d.SetText(id, "N/A");
    d.SetText(IDC_CAL_MEASURED_1, "");
    d.SetText(IDC_CAL_MEASURED_2, "");
    SetDefaultPoints();
}

void Calibration::ShowStored(const CalibrationRecord& record) {
    Controls& d = parts_.dialog;
    auto [r1, t1, r2, t2] = record.values;
    d.SetText(IDC_CAL_DATE, Format("%04d/%02d", static_cast<int>(record.year), record.month));
    // VBUS: the reference is what the supply applies; current: what the
    // multimeter measures.
    bool vbus = Quantity(Channel()) == kVbus;
    d.SetText(IDC_CAL_APPLIED_1, std::to_string(vbus ? r1 : t1));
    d.SetText(IDC_CAL_MEASURED_1, std::to_string(vbus ? t1 : r1));
    d.SetText(IDC_CAL_APPLIED_2, std::to_string(vbus ? r2 : t2));
    d.SetText(IDC_CAL_MEASURED_2, std::to_string(vbus ? t2 : r2));
    std::optional<CalibrationLine> line = LineThrough(r1, t1, r2, t2);
    d.SetText(IDC_CAL_GAIN, line ? Format("%f", line->gain) : "N/A");
    d.SetText(IDC_CAL_OFFSET, line ? Format("%f", line->offset) : "N/A");
}

void Calibration::ShowChannel() {
    Controls& d = parts_.dialog;
    int channel = Channel();
    CalibrationRecord record;
    // A failed read shows nothing of another channel's values, and says so.
    bool read = parts_.tester.GetCalibration(static_cast<uint8_t>(channel), record);
    if (read && record.stored != 0) {
        ShowStored(record);
    } else {
        ShowNothingStored();
    }
    if (!read) {
        for (int id : {IDC_CAL_DATE, IDC_CAL_GAIN, IDC_CAL_OFFSET})
            d.SetText(id, "read failed");
    }
    const CalibrationChannel& info = CalibrationChannelInfo(channel);
    d.SetText(IDC_CAL_APPLIED_HEADING, info.appliedHeading);
    d.SetText(IDC_CAL_MEASURED_HEADING, info.measuredHeading);
    d.Enable(IDC_CAL_READ_1, info.readable);
    d.Enable(IDC_CAL_READ_2, info.readable);
}

void Calibration::OnCommand(int id) {
    Controls& d = parts_.dialog;
    switch (id) {
        case IDC_CAL_PORT:
        case IDC_CAL_QUANTITY:
            ShowChannel();
            break;
        case IDC_CAL_USER_POINTS: {
            bool checked = d.IsChecked(IDC_CAL_USER_POINTS);
            d.Enable(IDC_CAL_APPLIED_1, checked);
            d.Enable(IDC_CAL_APPLIED_2, checked);
            if (!checked) SetDefaultPoints();
            break;
        }
        case IDC_CAL_READ_1:
            ReadPoint(1);
            break;
        case IDC_CAL_READ_2:
            ReadPoint(2);
            break;
        case IDC_CAL_CALIBRATE:
            Calibrate();
            break;
        case IDC_CAL_RESET:
            Reset();
            break;
        default:
            break;
    }
}

bool Calibration::CheckPoints(int upToPoint) {
    return CheckPoints(Channel(), parts_.dialog.GetText(IDC_CAL_APPLIED_1), parts_.dialog.GetText(IDC_CAL_APPLIED_2),
                       upToPoint);
}

bool Calibration::CheckPoints(int channel, const std::string& applied1, const std::string& applied2, int upToPoint) {
    const CalibrationChannel& info = CalibrationChannelInfo(channel);
    std::optional<int> p1 = ParseEditNumber(applied1);
    double lowest = 0.95 * info.defaultPoint1;
    if (!p1) {
        Error("\"To be applied value\" for point 1 is incorrect");
        return false;
    }
    if (*p1 < lowest) {
        Error(
            Format("Invalid calibration point. Point 1 should be equal or greater than %d.", static_cast<int>(lowest)));
        return false;
    }
    if (upToPoint < 2) return true;
    std::optional<int> p2 = ParseEditNumber(applied2);
    double highest = 1.05 * info.defaultPoint2;
    if (!p2) {
        Error("\"To be applied value\" for point 2 is incorrect");
        return false;
    }
    if (*p2 > highest) {
        Error(Format("Invalid calibration point. Point 2 should be equal or less than %d.", static_cast<int>(highest)));
        return false;
    }
    if (*p2 < *p1 + info.minimumSpacing) {
        Error(
            Format("Invalid calibration point. point 1 and point 2 should be at least %d apart.", info.minimumSpacing));
        return false;
    }
    return true;
}

// Every measurement carries the source side's channels, whichever port made
// the poll loop measure; the sink's mean something only with a charger on.
bool Calibration::PortMeasuring(int channel) {
    LiveState& live = parts_.live;
    if (!live.connected) return false;
    if (channel >= 2) return live.sinkActive;
    return live.sinkActive || live.sourceActive || live.loopbackEnabled;
}

std::optional<int> Calibration::AverageReading(int channel) {
    LiveState& live = parts_.live;
    uint64_t before = live.MeasurementSequence();
    int64_t sum = 0;
    for (int i = 0; i < kSamples; ++i) {
        parts_.clock.SleepMs(kSampleIntervalMs);
        Measurement m = live.LatestMeasurement();
        switch (channel) {
            case 0:
                sum = static_cast<int64_t>(static_cast<float>(sum) + m.SourceVolts() * 1000.0f);
                break;
            case 1:
                sum += m.loopbackCurrentMa;
                break;
            case 2:
                sum = static_cast<int64_t>(static_cast<float>(sum) + m.SinkVolts() * 1000.0f);
                break;
            default:
                sum += m.sinkCurrentMa;
                break;
        }
    }
    // A port that stopped measuring meanwhile left stale values behind, and
    // so did a tester that measured nothing new during the whole read.
    if (!PortMeasuring(channel) || live.MeasurementSequence() == before) return std::nullopt;
    return static_cast<int>(sum / kSamples);
}

void Calibration::ReadPoint(int point) {
    Controls& d = parts_.dialog;
    int button = point == 1 ? IDC_CAL_READ_1 : IDC_CAL_READ_2;
    int measured = point == 1 ? IDC_CAL_MEASURED_1 : IDC_CAL_MEASURED_2;
    d.SetText(button, "Wait");
    d.Enable(button, false);
    int channel = Channel();
    std::optional<int> result;
    if (CheckPoints(point)) {
        const char* port = channel < 2 ? "Source" : "Sink";
        std::string refusal = Format(
            "The %s port has no live readings: nothing is attached to it, or the Voltiq is gone.\n"
            "Attach the power supply or the load to it and read again.",
            port);
        if (!PortMeasuring(channel) || !(result = AverageReading(channel))) Error(refusal);
    }
    if (result) {
        d.SetText(measured, std::to_string(*result));
        if (point == 2) {
            int64_t applied = ParseEditNumber(d.GetText(IDC_CAL_APPLIED_2)).value_or(0);
            if (applied != 0 && std::llabs(*result - applied) * 100 / applied > 20) {
                Error("The measured value is not close to the applied value.");
            }
        }
    }
    d.SetText(button, "Read");
    d.Enable(button, true);
}

void Calibration::Calibrate() {
    Controls& d = parts_.dialog;
    // Everything is read before asking: the dialog stays usable under the
    // main window's question, and the answer is about what was shown.
    int channel = Channel();
    std::string applied1Text = d.GetText(IDC_CAL_APPLIED_1), applied2Text = d.GetText(IDC_CAL_APPLIED_2);
    std::optional<int> measured1 = ParseEditNumber(d.GetText(IDC_CAL_MEASURED_1));
    std::optional<int> measured2 = ParseEditNumber(d.GetText(IDC_CAL_MEASURED_2));
    int answer = parts_.prompts.ShowMessage("Are you sure you want to overwrite the calibration data?", kConfirmTitle,
                                            Prompts::kYesNo | Prompts::kIconWarning | kSecondButtonDefault);
    if (answer != Prompts::kAnswerYes || !CheckPoints(channel, applied1Text, applied2Text, 2)) return;
    if (!measured1) return Error("Please carry out the measurement for point 1");
    if (!measured2) return Error("Please carry out the measurement for point 2");
    int applied1 = *ParseEditNumber(applied1Text);
    int applied2 = *ParseEditNumber(applied2Text);

    bool vbus = Quantity(channel) == kVbus;
    std::array<int, 4> values = vbus ? std::array<int, 4>{applied1, *measured1, applied2, *measured2}
                                     : std::array<int, 4>{*measured1, applied1, *measured2, applied2};
    for (int value : values) {
        if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max()) {
            return Error("Calibration values must lie between -32768 and 32767.");
        }
    }
    std::optional<CalibrationLine> line = LineThrough(values[0], values[1], values[2], values[3]);
    if (!line) {
        return Error(
            "The Voltiq's values of point 1 and point 2 are equal: such a calibration would turn every reading "
            "into one value.\nMeasure two different points.");
    }
    // A typo must not overwrite the stored calibration: a falling line is
    // refused, and one far from the identity is stored only when confirmed.
    if (line->gain <= 0) {
        return Error(
            Format("These points give a gain of %f: a higher reading would mean a lower value.\n"
                   "Check the measured values and the points.",
                   line->gain));
    }
    if (line->gain < kLowestUsualGain || line->gain > kHighestUsualGain) {
        std::string question = Format(
            "These points give a gain of %f and an offset of %f, far from a gain of 1.\n"
            "Store this calibration anyway?",
            line->gain, line->offset);
        if (parts_.prompts.ShowMessage(question, kConfirmTitle,
                                       Prompts::kYesNo | Prompts::kIconWarning | kSecondButtonDefault) !=
            Prompts::kAnswerYes) {
            return;
        }
    }
    auto [year, month] = parts_.today();
    std::array<int16_t, 4> sent = {static_cast<int16_t>(values[0]), static_cast<int16_t>(values[1]),
                                   static_cast<int16_t>(values[2]), static_cast<int16_t>(values[3])};
    if (!parts_.tester.SetCalibration(static_cast<uint8_t>(channel), static_cast<uint32_t>(year),
                                      static_cast<uint8_t>(month), sent)) {
        return Error("The Voltiq did not store the calibration; it keeps the one it had.");
    }
    // The dialog shows the channel stored, unless the user chose another.
    if (Channel() != channel) return;
    d.SetText(IDC_CAL_GAIN, Format("%f", line->gain));
    d.SetText(IDC_CAL_OFFSET, Format("%f", line->offset));
    d.SetText(IDC_CAL_DATE, Format("%04d/%02d", year, month));
}

void Calibration::Reset() {
    Controls& d = parts_.dialog;
    int channel = Channel();  // the channel shown when asked
    int answer = parts_.prompts.ShowMessage("Are you sure you want to reset the calibration data?", kConfirmTitle,
                                            Prompts::kYesNo | Prompts::kIconWarning | kSecondButtonDefault);
    if (answer != Prompts::kAnswerYes) return;
    if (!parts_.tester.ResetCalibration(static_cast<uint8_t>(channel))) {
        return Error("The Voltiq did not reset the calibration; it keeps the one it had.");
    }
    if (Channel() != channel) return;
    d.SetCheck(IDC_CAL_USER_POINTS, false);
    d.Enable(IDC_CAL_APPLIED_1, false);
    d.Enable(IDC_CAL_APPLIED_2, false);
    ShowNothingStored();
}
