#include "tracer/composer.h"

#include <array>
#include <cctype>

#include "device/tester_connection.h"
#include "platform/format.h"
#include "ui/tracer_ids.h"

namespace {
constexpr int kMaxDataObjects = 7;
constexpr std::array<int, 8> kObjectFields = {IDC_COMPOSER_OBJECT_1, IDC_COMPOSER_OBJECT_2, IDC_COMPOSER_OBJECT_3,
                                              IDC_COMPOSER_OBJECT_4, IDC_COMPOSER_OBJECT_5, IDC_COMPOSER_OBJECT_6,
                                              IDC_COMPOSER_OBJECT_7, IDC_COMPOSER_OBJECT_8};
constexpr std::array<int, 8> kObjectLabels = {
    IDC_COMPOSER_OBJECT_LABEL_1, IDC_COMPOSER_OBJECT_LABEL_2, IDC_COMPOSER_OBJECT_LABEL_3, IDC_COMPOSER_OBJECT_LABEL_4,
    IDC_COMPOSER_OBJECT_LABEL_5, IDC_COMPOSER_OBJECT_LABEL_6, IDC_COMPOSER_OBJECT_LABEL_7, IDC_COMPOSER_OBJECT_LABEL_8};
constexpr int kInitialType = 7;
constexpr size_t kObjectDigits = 8;
constexpr int kObjectLimit = 10;
constexpr int kExtendedLimit = 54;
constexpr int kCustomLimit = 62;
constexpr size_t kMaxExtendedBytes = 26;

constexpr const char* kCustomForm = "Message (Form: Hexadecimal; Least Significant Byte First; 30 Bytes Max)";
constexpr const char* kDataForm = "Data Objects (Form: Hexadecimal; Most Significant Byte First; 4 Bytes Each)";
constexpr const char* kExtendedForm = "Data (Form: Hexadecimal; Least Significant Byte First; 26 Bytes Max)";

constexpr const char* kValidationTitle = "Ampwright Error";
constexpr const char* kErrorTitle = "Ampwright: Error";

bool HasPrefix(const std::string& text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

bool AllHex(std::string_view digits) {
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// Digit pairs in the order typed, each pair one byte; the text starts with "0x".
std::vector<uint8_t> PairsToBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 2; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

void PushHeader(std::vector<uint8_t>& bytes, uint16_t header) {
    bytes.push_back(static_cast<uint8_t>(header & 0xFF));
    bytes.push_back(static_cast<uint8_t>(header >> 8));
}
}  // namespace

Composer::Composer(Parts parts) : parts_(std::move(parts)) {}

void Composer::Initialize() {
    Controls& window = parts_.window;
    window.ClearItems(IDC_COMPOSER_TYPE);
    for (const MessageName& entry : kSendableMessageNames)
        window.AddItem(IDC_COMPOSER_TYPE, entry.name);
    window.AddItem(IDC_COMPOSER_TYPE, kCustom);
    window.SelectItem(IDC_COMPOSER_TYPE, kInitialType);
    for (int id : kObjectFields)
        window.SetTextLimit(id, kObjectLimit);
    OnTypeChange();
}

std::string Composer::SelectedTypeName() {
    int index = parts_.window.SelectedItem(IDC_COMPOSER_TYPE);
    if (index >= 0 && static_cast<size_t>(index) < kSendableMessageNames.size()) {
        return kSendableMessageNames[static_cast<size_t>(index)].name;
    }
    return static_cast<size_t>(index) == kSendableMessageNames.size() ? kCustom : "";
}

Composer::Form Composer::CurrentForm() {
    std::string name = SelectedTypeName();
    if (name == kCustom) return Form::Custom;
    MessageTypeCode code = MessageTypeCodeFromName(name);
    if (code == kHardResetCode) return Form::HardReset;
    if (code >= kExtendedMessageBase) return Form::Extended;
    if (code >= kDataMessageBase) return Form::Data;
    return Form::Control;
}

void Composer::OnTypeChange() {
    Controls& window = parts_.window;
    Form form = CurrentForm();
    const char* label = form == Form::Custom     ? kCustomForm
                        : form == Form::Data     ? kDataForm
                        : form == Form::Extended ? kExtendedForm
                                                 : nullptr;
    window.Show(IDC_COMPOSER_FORM_LABEL, label != nullptr);
    if (label != nullptr) window.SetText(IDC_COMPOSER_FORM_LABEL, label);
    bool messageField = form == Form::Custom || form == Form::Extended;
    window.Show(IDC_COMPOSER_MESSAGE, messageField);
    if (form == Form::Custom) window.SetTextLimit(IDC_COMPOSER_MESSAGE, kCustomLimit);
    if (form == Form::Extended) {
        window.SetTextLimit(IDC_COMPOSER_MESSAGE, kExtendedLimit);
        if (window.GetText(IDC_COMPOSER_MESSAGE).size() > static_cast<size_t>(kExtendedLimit)) {
            window.SetText(IDC_COMPOSER_MESSAGE, "");
        }
    }
    for (size_t i = 0; i < kObjectFields.size(); ++i) {
        window.Show(kObjectFields[i], form == Form::Data);
        window.Show(kObjectLabels[i], form == Form::Data);
    }
}

void Composer::Fail(const std::string& message) {
    failure_ = message;
}

std::optional<std::string> Composer::HexField(int id, const std::string& text) {
    std::string normal = HasPrefix(text) ? "0x" + text.substr(2) : "0x" + text;
    for (size_t i = 2; i < normal.size(); ++i)
        normal[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(normal[i])));
    if (!AllHex(std::string_view(normal).substr(2))) return std::nullopt;
    parts_.window.SetText(id, normal);
    return normal;
}

uint16_t Composer::NextHeader(MessageTypeCode code, int objectCount) {
    // Sent as the tester's sink side speaks: UFP, Sink, revision 3.0.
    uint16_t header =
        static_cast<uint16_t>((code & 0x1F) | 2 << 6 | (nextMessageId_ & 7) << 9 | (objectCount & 7) << 12);
    if (code >= kExtendedMessageBase) header |= 0x8000;
    nextMessageId_ = (nextMessageId_ + 1) & 7;
    return header;
}

std::optional<std::vector<uint8_t>> Composer::ReadDataObjects(MessageTypeCode code) {
    Controls& window = parts_.window;
    std::array<std::string, 8> texts;
    int count = 0;
    for (int k = 8; k >= 1; --k) {
        texts[k - 1] = window.GetText(kObjectFields[k - 1]).substr(0, kObjectLimit);
        if (count == 0 && !texts[k - 1].empty()) count = k;
    }
    std::array<uint32_t, 8> values = {};
    for (int k = count; k >= 1; --k) {
        int id = kObjectFields[k - 1];
        std::string text = texts[k - 1];
        if (text.empty() && !failure_) {
            text = "0x00000000";
            window.SetText(id, text);
        }
        if (!HasPrefix(text) && text.size() > kObjectDigits) {
            Fail(Format("Length of data object %d exceeds the maximum allowed length.", k));
            window.SetText(id, "");
            continue;
        }
        if (failure_) continue;
        std::string digits = HasPrefix(text) ? text.substr(2) : text;
        if (digits.size() < kObjectDigits) digits.insert(0, kObjectDigits - digits.size(), '0');
        std::optional<std::string> field = HexField(id, digits);
        if (!field) {
            Fail(Format("Data object %d is not a hexademical number.", k));
            window.SetText(id, "");
            continue;
        }
        values[static_cast<size_t>(k - 1)] = static_cast<uint32_t>(std::stoul(field->substr(2), nullptr, 16));
    }
    if (failure_) return std::nullopt;
    if (count == 0) return std::vector<uint8_t>();
    // The header counts data objects in three bits: an eighth would read as
    // none, with 32 bytes after it.
    if (count > kMaxDataObjects) {
        Fail(Format("A message carries at most %d data objects: clear data object %d.", kMaxDataObjects, count));
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    PushHeader(bytes, NextHeader(code, count));
    for (int k = 0; k < count; ++k) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(values[static_cast<size_t>(k)] >> shift));
    }
    return bytes;
}

std::optional<std::vector<uint8_t>> Composer::ReadExtendedData(MessageTypeCode code) {
    std::string text = parts_.window.GetText(IDC_COMPOSER_MESSAGE).substr(0, kExtendedLimit);
    if (!HasPrefix(text) && text.size() > kExtendedLimit - 2) {
        Fail("Extended data length exceeds the maximum allowed length.");
        parts_.window.SetText(IDC_COMPOSER_MESSAGE, "");
        return std::nullopt;
    }
    std::optional<std::string> field = HexField(IDC_COMPOSER_MESSAGE, text);
    if (!field) {
        Fail("Extended data is not a hexademical number.");
        parts_.window.SetText(IDC_COMPOSER_MESSAGE, "");
        return std::nullopt;
    }
    if (field->size() % 2 != 0) {
        Fail("Extended data must have an even number of hexadecimal digits.");
        return std::nullopt;
    }
    std::vector<uint8_t> data = PairsToBytes(*field);
    if (data.size() > kMaxExtendedBytes) data.resize(kMaxExtendedBytes);
    // One chunk: the extended header (data size, chunked) and the data,
    // zero-padded to whole data objects.
    size_t objects = (2 + data.size() + 3) / 4;
    std::vector<uint8_t> bytes;
    PushHeader(bytes, NextHeader(code, static_cast<int>(objects)));
    PushHeader(bytes, static_cast<uint16_t>(data.size() | 0x8000));
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.resize(2 + 4 * objects, 0);
    return bytes;
}

std::optional<std::vector<uint8_t>> Composer::ReadCustom() {
    Controls& window = parts_.window;
    std::string text = window.GetText(IDC_COMPOSER_MESSAGE).substr(0, kCustomLimit);
    if (!HasPrefix(text) && text.size() > kCustomLimit - 2) {
        Fail("Custom message length exceeds the maximum allowed length.");
        window.SetText(IDC_COMPOSER_MESSAGE, "");
        return std::nullopt;
    }
    std::optional<std::string> field = HexField(IDC_COMPOSER_MESSAGE, text);
    if (!field) {
        Fail("Custom message is not a hexademical number.");
        window.SetText(IDC_COMPOSER_MESSAGE, "");
        return std::nullopt;
    }
    if (field->size() < 6) {
        Fail("Custom message must be at least 2 bytes long.");
        return std::nullopt;
    }
    if (field->size() % 2 != 0) {
        Fail("Custom message must have an even number of hexadecimal digits.");
        return std::nullopt;
    }
    int highDigit = std::stoi(field->substr(4, 1), nullptr, 16);
    if (highDigit < 8) {
        // Data objects the header declares but the text lacks become zeros.
        size_t wanted = 6 + 8 * static_cast<size_t>(highDigit);
        if (field->size() < wanted) field->append(wanted - field->size(), '0');
    }
    std::vector<uint8_t> bytes = PairsToBytes(*field);
    parts_.echo.heldHeader.store(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
    return bytes;
}

void Composer::EndAttempt() {
    parts_.echo.pending.store(PendingEcho::kNothing);
    parts_.window.Enable(IDC_COMPOSER_SEND, true);
}

std::string Composer::FailureReason() const {
    const LiveState& live = parts_.live;
    if (!live.sinkActive.load() && !live.sourceActive.load()) return "No device under test connected";
    if (!live.connected.load()) return "Voltiq was disconnected";
    return "Device under test did not read message.";
}

void Composer::OnSend() {
    Controls& window = parts_.window;
    window.Enable(IDC_COMPOSER_SEND, false);
    failure_.reset();
    Form form = CurrentForm();
    MessageTypeCode code = MessageTypeCodeFromName(SelectedTypeName());

    std::optional<std::vector<uint8_t>> message;
    switch (form) {
        case Form::Custom:
            message = ReadCustom();
            if (message) parts_.echo.pending.store(PendingEcho::kByHeader);
            break;
        case Form::Control: {
            parts_.echo.pending.store(code);
            std::vector<uint8_t> bytes;
            PushHeader(bytes, NextHeader(code, 0));
            message = bytes;
            break;
        }
        case Form::Data:
            parts_.echo.pending.store(code);
            message = ReadDataObjects(code);
            if (message && message->empty()) {
                EndAttempt();
                parts_.prompts.ShowMessage("The set message type requires at least one data object.", kErrorTitle,
                                           Prompts::kOk | Prompts::kIconError);
                return;
            }
            break;
        case Form::Extended:
            parts_.echo.pending.store(code);
            message = ReadExtendedData(code);
            break;
        case Form::HardReset:
            parts_.echo.pending.store(code);
            message = std::vector<uint8_t>{kPdHardResetMarker};
            break;
    }

    if (!message) {
        EndAttempt();
        parts_.prompts.ShowMessage(failure_.value_or(""), kValidationTitle, Prompts::kOk | Prompts::kIconError);
        return;
    }
    if (!parts_.send(*message)) {
        EndAttempt();
        parts_.prompts.ShowMessage(FailureReason(), kErrorTitle, Prompts::kOk | Prompts::kIconError);
        return;
    }
    if (form == Form::HardReset) parts_.appendRow("1,Hard Reset, , , , , , , ");
    parts_.newRowSeen.store(false);
    window.StartTimer(IDT_TRACER_QUIET, kQuietPeriodMs);
}

void Composer::OnQuietTimer() {
    if (parts_.newRowSeen.exchange(false)) return;
    parts_.window.StopTimer(IDT_TRACER_QUIET);
    parts_.window.Enable(IDC_COMPOSER_SEND, true);
}
