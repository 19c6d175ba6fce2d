#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/locked.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/prompts.h"

// A window for tests: remembers the state of every control by id, and
// answers prompts from a script. Safe to use from several threads.
class FakeWindow : public Controls, public Prompts {
public:
    struct Control {
        std::string text;
        bool enabled = true;
        bool shown = true;
        bool checked = false;
        std::vector<std::string> items;
        int selected = -1;
        int minimum = 0, maximum = 0, position = 0;
        bool scrollShown = false;
        int scrollMaximum = 0, scrollPage = 0, scrollPosition = 0;
        int repaints = 0;
    };
    struct Message {
        std::string text, title;
        uint32_t style = 0;
    };

    void SetText(int id, const std::string& text) override { At(id)->text = text; }
    std::string GetText(int id) override { return At(id)->text; }
    void Enable(int id, bool enabled) override { At(id)->enabled = enabled; }
    void Show(int id, bool shown) override { At(id)->shown = shown; }
    void SetCheck(int id, bool checked) override { At(id)->checked = checked; }
    bool IsChecked(int id) override { return At(id)->checked; }
    void SetFocus(int id) override {
        CheckThread(id);
        *Lock(lock_, focused_) = id;
    }
    int Focused() const { return *Lock(lock_, focused_); }
    void SetTextLimit(int id, int) override { CheckThread(id); }
    void ClearItems(int id) override;
    void AddItem(int id, const std::string& text) override { At(id)->items.push_back(text); }
    void SelectItem(int id, int index) override;
    int SelectedItem(int id) override { return At(id)->selected; }
    int ItemCount(int id) override { return static_cast<int>(At(id)->items.size()); }
    void SetRange(int id, int minimum, int maximum) override;
    void SetPosition(int id, int position) override { At(id)->position = position; }
    int Position(int id) override { return At(id)->position; }
    void SetLineSize(int id, int) override { CheckThread(id); }
    void SetScrollBar(int id, bool shown, int maximum, int page, int position) override;
    void StartTimer(int timerId, uint32_t periodMs) override {
        CheckThread(timerId);
        (*Lock(lock_, timers_))[timerId] = periodMs;
    }
    void StopTimer(int timerId) override {
        CheckThread(timerId);
        Lock(lock_, timers_)->erase(timerId);
    }
    void Repaint(int id) override { ++At(id)->repaints; }

    int ShowMessage(const std::string& text, const std::string& title, uint32_t style) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;

    // A copy of a control's state.
    Control Get(int id) const;
    // The texts of some controls, in order.
    std::vector<std::string> Texts(std::initializer_list<int> ids) {
        std::vector<std::string> texts;
        for (int id : ids)
            texts.push_back(GetText(id));
        return texts;
    }
    // Running timers and their periods.
    std::map<int, uint32_t> Timers() const { return *Lock(lock_, timers_); }
    std::vector<Message> Messages() const { return *Lock(lock_, messages_); }
    std::string LastMessage() const {
        std::vector<Message> all = Messages();
        return all.empty() ? "" : all.back().text;
    }
    std::vector<SaveFileRequest> SaveRequests() const { return *Lock(lock_, saveRequests_); }

    // Scripted answers: message boxes answer kAnswerOk unless told otherwise;
    // the save dialog returns the next queued path (or cancels).
    void AnswerMessagesWith(int answer) { *Lock(lock_, messageAnswer_) = answer; }
    void QueueSavePath(std::optional<std::string> path) { Lock(lock_, savePaths_)->push_back(std::move(path)); }
    // Runs while a message box is up, as a message handled by its loop would.
    void WhileMessageShown(std::function<void()> action) { *Lock(lock_, whileMessageShown_) = std::move(action); }

    // From now on, a call on the controls from any other thread than this
    // one is counted (and reported), as only a window's own thread may use
    // a window; a test expects none.
    void OwnedByThisThread() { owner_ = std::this_thread::get_id(); }
    int ForeignThreadCalls() const { return foreignCalls_; }

private:
    // The control, looked up and used under the lock.
    Locked<Control> At(int id) {
        CheckThread(id);
        return {std::unique_lock<std::mutex>(lock_), controls_[id]};
    }
    void CheckThread(int id);

    std::atomic<std::thread::id> owner_{};
    std::atomic<int> foreignCalls_{0};
    mutable std::mutex lock_;
    std::map<int, Control> controls_;
    std::map<int, uint32_t> timers_;
    std::vector<Message> messages_;
    std::vector<SaveFileRequest> saveRequests_;
    std::vector<std::optional<std::string>> savePaths_;
    int messageAnswer_ = kAnswerOk;
    int focused_ = 0;
    std::function<void()> whileMessageShown_;
};

// A canvas that records what would be drawn.
class RecordingCanvas : public Canvas {
public:
    struct Fill {
        Rect rect;
        Color color;
    };
    struct Text {
        std::string text;
        int x, y;
        FontSpec font;
    };
    void FillRect(const Rect& rect, Color fill, bool) override { fills.push_back({rect, fill}); }
    void DrawText(const std::string& text, int x, int y, const FontSpec& font, const Rect&) override {
        texts.push_back({text, x, y, font});
    }
    struct BoxText {
        std::string text;
        Rect box;
        FontSpec font;
    };
    void DrawTextInBox(const std::string& text, const Rect& box, const FontSpec& font, TextAlign, TextVAlign) override {
        boxTexts.push_back({text, box, font});
    }
    std::vector<Fill> fills;
    std::vector<Text> texts;

    // Chart primitives. Text measures half its height per character.
    struct Lines {
        std::vector<Point> points;
        Pen pen;
        std::optional<Rect> clip;
    };
    struct Polygon {
        std::vector<Point> points;
        Color color;
        std::optional<Rect> clip;
    };
    TextSize MeasureText(const std::string& text, const FontSpec& font) override {
        return {static_cast<int>(text.size()) * font.heightPx / 2, font.heightPx};
    }
    void DrawTextAt(const std::string& text, int x, int y, const FontSpec& font) override {
        textsAt.push_back({text, x, y, font});
    }
    void DrawLines(const Point* points, size_t count, const Pen& pen) override {
        lines.push_back({std::vector<Point>(points, points + count), pen, clip});
    }
    void FillGradient(const Rect& rect, Color top, Color) override { gradients.push_back({rect, top}); }
    void FillPolygon(const Point* points, size_t count, Color fill) override {
        polygons.push_back({std::vector<Point>(points, points + count), fill, clip});
    }
    void FillEllipse(const Rect&, Color) override {}
    void SetClip(const Rect* cut) override { clip = cut ? std::optional<Rect>(*cut) : std::nullopt; }
    std::vector<Lines> lines;
    std::vector<Polygon> polygons;
    std::vector<Text> textsAt;  // DrawTextAt's
    std::vector<Fill> gradients;
    std::optional<Rect> clip;
    std::vector<BoxText> boxTexts;
};
