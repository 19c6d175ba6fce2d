#include "graphs/voltage_current_test.h"

#include <algorithm>

#include "graphs/compliance_regions.h"
#include "monitor/load_off.h"
#include "monitor/log_category.h"
#include "platform/format.h"

namespace {
constexpr uint16_t kLoadOffMa = 50;  // at or below this the load counts as off
constexpr uint32_t kLoadFallTimeoutMs = 5000;
constexpr uint32_t kLoadFallPollMs = 100;
constexpr uint32_t kStepSliceMs = 10;
constexpr uint32_t kFreshSampleTimeoutMs = 1000;
constexpr int kDetachDropSteps = 5;  // the curve falls to the bottom over this many steps
constexpr int kMaximumAxisDivisions = 60;

const char kProfileChangedText[] =
    "The Voltage Vs. Current test was stopped because a change in the selected power profile was detected. This can "
    "happen if the voltage from the device under test drops too low.";
const char kLoadStuckText[] =
    "The load current did not fall to 50 mA within 5 seconds, so the Voltage vs. Current test was not started. "
    "Check that nothing else draws current from the device under test.";

// Hands a load current to the poll loop: the value first, then the request.
void RequestLoad(LiveState& live, uint16_t currentMa) {
    live.requestedLoadMa = currentMa;
    live.loadCurrentPending.store(true, std::memory_order_release);
}
}  // namespace

int StepCount(uint16_t limitMa, uint16_t stepMa) {
    return limitMa / std::max<uint16_t>(stepMa, 1) + 1;
}

int CurrentAxisDivisions(uint16_t limitMa, uint16_t stepMa) {
    int divisions = limitMa / std::max<uint16_t>(stepMa, 1);
    while (divisions > kMaximumAxisDivisions)
        divisions /= 2;
    return std::max(divisions, 1);
}

StepLimits ComputeStepLimits(const RunProfile& profile, uint16_t stepMa) {
    StepLimits steps;
    stepMa = std::max<uint16_t>(stepMa, 1);
    for (uint32_t currentMa = 0; currentMa <= profile.limitMa; currentMa += stepMa) {
        std::optional<RegionEdges> edges = RegionEdgesAt(profile, static_cast<int>(currentMa));
        if (!edges) return {};
        steps.minimumV.push_back(edges->minimumV);
        steps.maximumV.push_back(edges->maximumV);
        steps.shutDownAllowed.push_back(edges->shutDownAllowed);
    }
    return steps;
}

// One run of the test proper, between prelude and epilogue.
class VoltageCurrentRun {
public:
    VoltageCurrentRun(VoltageCurrentTest& test, const VoltageCurrentParams& params, RunContext& context)
        : test_(test),
          context_(context),
          live_(context.live),
          profile_(test.result_.profile),
          stepMa_(test.result_.stepMa),
          stepTimeMs_(params.stepTimeMs),
          count_(StepCount(profile_.limitMa, stepMa_)),
          bottomV_(VoltageAxisFor(profile_).minimumV) {}

    void Run() {
        {
            std::lock_guard<std::mutex> held(test_.lock_);
            test_.result_.raw.assign(static_cast<size_t>(count_), NO_DATA);
            test_.result_.display.assign(static_cast<size_t>(count_), NO_DATA);
        }
        ShowDisplay();
        context_.events.testStop.Reset();
        context_.events.sinkDetach.Reset();
        if (!WaitForLoadToFall()) return;

        Log("Start Voltage vs. Current Test", kLogDiagnostics);
        Record(0, live_.LatestMeasurement().SinkVolts());
        for (uint32_t currentMa = 0;;) {
            if (live_.testIdle) return;
            TestWait wait = WaitForTest(context_, stepTimeMs_, kStepSliceMs);
            Measurement m;
            if (wait == TestWait::TimedOut) wait = SampleStep(currentMa, m);
            if (live_.profileChanged) {
                context_.prompts.ShowMessage(kProfileChangedText, "Test stopped", Prompts::kOk | Prompts::kIconWarning);
                live_.profileChanged = false;
                return;
            }
            // A step without its own measurement ends the run: nothing is
            // recorded for it or after it.
            if (wait == TestWait::Stopped || wait == TestWait::Idle || wait == TestWait::TimedOut) return;

            int step = static_cast<int>(currentMa / stepMa_);
            bool detached = wait == TestWait::Detached;
            // One measurement for the sample, its status and its verdict.
            if (detached) m = live_.LatestMeasurement();
            float volts = detached ? 0.0f : m.SinkVolts();
            if (detached) {
                live_.testIdle = true;
                DropAfterDetach(step);
            } else {
                Record(step, volts);
            }
            UpdateStatus(m);
            Judge(volts, static_cast<int>(currentMa));
            ShowDisplay();
            if (detached) return;

            currentMa += stepMa_;
            if (currentMa > profile_.limitMa) {
                std::lock_guard<std::mutex> held(test_.lock_);
                test_.result_.complete = true;
                return;
            }
            RequestLoad(live_, static_cast<uint16_t>(currentMa));
        }
    }

private:
    // Switches the load off and waits for it to fall; false when the test
    // must not start (Stop, detach, TestIdle, or a load that stays on).
    bool WaitForLoadToFall() {
        // Only a measurement taken after the request can show the load fell.
        uint64_t seen = live_.MeasurementSequence();
        RequestLoad(live_, 0);
        TestWait wait = WaitForTest(context_, kLoadFallTimeoutMs, kLoadFallPollMs, [this, seen] {
            Measurement m = live_.LatestMeasurement();
            return m.sequence > seen && m.sinkCurrentMa <= kLoadOffMa;
        });
        if (wait == TestWait::Done) return true;
        if (wait == TestWait::Detached) live_.testIdle = true;
        if (wait == TestWait::TimedOut) {
            context_.prompts.ShowMessage(kLoadStuckText, "Ampwright Error", Prompts::kOk | Prompts::kIconError);
        }
        return false;
    }

    // The step's sample: a measurement taken after the step was held that
    // shows the tester at the step's set point. A set point the tester did
    // not take is asked for once more. Done with the sample; Stopped,
    // Detached or Idle as the wait ended; TimedOut when the run is
    // incomplete (the reason is logged).
    TestWait SampleStep(uint32_t currentMa, Measurement& sample) {
        for (int tries = 1;; ++tries) {
            TestWait wait = WaitForFreshSample(sample);
            if (wait == TestWait::TimedOut) {
                EndIncomplete(currentMa, Format("the tester stopped answering at %d mA", static_cast<int>(currentMa)));
            }
            if (wait != TestWait::Done) return wait;
            if (sample.loadSetpointMa == currentMa) return TestWait::Done;
            if (tries == 2) {
                EndIncomplete(currentMa, Format("the tester did not take the load of %d mA (it reports %d mA)",
                                                static_cast<int>(currentMa), sample.loadSetpointMa));
                return TestWait::TimedOut;
            }
            RequestLoad(live_, static_cast<uint16_t>(currentMa));
            wait = WaitForTest(context_, stepTimeMs_, kStepSliceMs);
            if (wait != TestWait::TimedOut) return wait;
        }
    }

    // Waits for a measurement taken after now, so the sample shows the
    // settled load rather than a reading from before or during its ramp.
    TestWait WaitForFreshSample(Measurement& sample) {
        uint64_t seen = live_.MeasurementSequence();
        TestWait wait = WaitForTest(context_, kFreshSampleTimeoutMs, 1,
                                    [this, seen] { return live_.MeasurementSequence() > seen; });
        if (wait == TestWait::Done) sample = live_.LatestMeasurement();
        return wait;
    }

    // Ends the run at the step that got no measurement: the curve no longer
    // reaches ahead to it, since nothing was measured there.
    void EndIncomplete(uint32_t currentMa, const std::string& reason) {
        {
            std::lock_guard<std::mutex> held(test_.lock_);
            test_.result_.endReason = reason;
            size_t step = currentMa / stepMa_;
            if (step < test_.result_.display.size()) test_.result_.display[step] = NO_DATA;
        }
        ShowDisplay();
        Log("Voltage vs. Current test incomplete: " + reason, kLogError);
    }

    // The measured voltage as it is, and plotted no lower than the chart's
    // bottom; the curve reaches one step ahead until that step is measured.
    void Record(int step, float volts) {
        float shown = std::max(volts, bottomV_);
        std::lock_guard<std::mutex> held(test_.lock_);
        test_.result_.raw[static_cast<size_t>(step)] = volts;
        test_.result_.display[static_cast<size_t>(step)] = shown;
        if (step < count_ - 2) test_.result_.display[static_cast<size_t>(step) + 1] = shown;
    }

    void DropAfterDetach(int step) {
        std::lock_guard<std::mutex> held(test_.lock_);
        test_.result_.raw[static_cast<size_t>(step)] = 0.0f;
        for (int i = step; i < std::min(step + kDetachDropSteps, count_); ++i)
            test_.result_.display[static_cast<size_t>(i)] = bottomV_;
    }

    void ShowDisplay() {
        {
            std::lock_guard<std::mutex> held(test_.lock_);
            shown_ = test_.result_.display;
        }
        context_.view.ShowSeries(shown_);
    }

    void UpdateStatus(const Measurement& m) {
        float volts = m.SinkVolts();
        int totalMa = m.TotalCurrentMa();
        bool changed = statusRefresh_;
        statusRefresh_ = false;
        auto lower = [&changed](auto& extreme, auto value) {
            if (value >= extreme) return;
            extreme = value;
            changed = true;
        };
        auto raise = [&changed](auto& extreme, auto value) {
            if (value <= extreme) return;
            extreme = value;
            changed = true;
        };
        lower(minimumV_, volts);
        raise(maximumV_, volts);
        lower(minimumMa_, totalMa);
        raise(maximumMa_, totalMa);
        if (!changed) return;
        context_.view.ShowStatus(Format("V(Min): %.2fV   V(Max): %.2fV   I Total(Min): %dmA   I Total(Max): %dmA",
                                        minimumV_, maximumV_, minimumMa_, maximumMa_));
    }

    // The verdict of the region the point is drawn in, at the step's
    // current (the set point the tester reported for the sample).
    void Judge(float volts, int currentMa) {
        float powerW = currentMa * volts / 1000;
        std::optional<RegionEdges> edges = RegionEdgesAt(profile_, currentMa);
        if (edges && !InsideRegions(*edges, volts) && volts >= edges->maximumV) {
            Log(Format("Over Voltage,V=%.3fV, I=%dmA, P=%.2fW", volts, currentMa, powerW), kLogError);
        } else if (edges && !InsideRegions(*edges, volts)) {
            Log(Format("Under Voltage, V=%.3fV, I=%dmA, P=%.2fW", volts, currentMa, powerW), kLogError);
        } else {
            Log(Format("V=%.2fV, I=%dmA, P=%.2fW", volts, currentMa, powerW), kLogDiagnostics);
        }
    }

    void Log(const std::string& text, int category) { context_.log.LogEvent(text, category); }

    VoltageCurrentTest& test_;
    RunContext& context_;
    LiveState& live_;
    const RunProfile profile_;
    const uint16_t stepMa_;
    const uint32_t stepTimeMs_;
    const int count_;
    const float bottomV_;
    std::vector<float> shown_;

    float minimumV_ = 100.0f;
    float maximumV_ = 0.0f;
    int minimumMa_ = 5000;
    int maximumMa_ = 0;
    bool statusRefresh_ = true;
};

void VoltageCurrentTest::Run(const VoltageCurrentParams& params, const RunProfile& profile, RunContext& context) {
    LiveState& live = context.live;
    uint16_t stepMa = std::max<uint16_t>(params.stepMa, 1);
    live.profileChanged = false;
    live.loadChangeSpeedMs = params.loadChangeSpeedMs;
    {
        std::lock_guard<std::mutex> held(lock_);
        result_ = VoltageCurrentResult();
        result_.profile = profile;
        result_.stepMa = stepMa;
        result_.limits = ComputeStepLimits(profile, stepMa);
    }
    if (!live.sinkActive) {
        context.prompts.ShowMessage("No Device Under Test detected.", "Ampwright: Error",
                                    Prompts::kOk | Prompts::kIconError);
    } else {
        context.view.EnableSettings(false);
        VoltageCurrentRun(*this, params, context).Run();
        context.view.EnableSettings(true);
    }
    if (context.tester) {
        std::optional<uint16_t> leftOnMa = SwitchLoadOff(*context.tester, live, live.requestedLoadMa);
        if (leftOnMa) context.log.LogEvent(LoadMayStillBeOnText(*leftOnMa), kLogError);
        std::lock_guard<std::mutex> held(lock_);
        result_.loadLeftOnMa = leftOnMa;
    } else {
        RequestLoad(live, 0);
    }
    context.log.LogEvent("End Voltage vs. Current Test", kLogDiagnostics);
}

VoltageCurrentResult VoltageCurrentTest::Result() const {
    std::lock_guard<std::mutex> held(lock_);
    return result_;
}
