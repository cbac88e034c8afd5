// Turning the libraries' callbacks into the engine's events.
#include <cstring>

#include "engine/zip_engine.h"
#include "libs/include/kelp_lib_abi.h"

namespace kelp::engine {

namespace {

constexpr size_t kMaxPassword = 80;
constexpr uint32_t kMaxRepeat = 15;

// The record's text up to its NUL, without trailing blanks and control
// characters, into `text` (whose room is kept from call to call).
const std::string& RecordText(const KCallbackRecord& record, std::string& text) {
    size_t length = strnlen(record.Text, sizeof record.Text);
    while (length > 0 && static_cast<unsigned char>(record.Text[length - 1]) <= 32) --length;
    text.assign(record.Text, length);
    return text;
}

// Copies `text` into the record, cut to `maxLength` characters, with its NUL.
void SetRecordText(KCallbackRecord& record, const std::string& text, size_t maxLength) {
    const size_t n = std::min(text.size(), maxLength);
    std::memcpy(record.Text, text.data(), n);
    record.Text[n] = '\0';
}

}  // namespace

int32_t ZipEngine::HandleCallback(KCallbackRecord& record) {
    // One report per member or more: the text is made only for a listener.
    std::string& textRoom = callbackText_;
    auto text = [&]() -> const std::string& { return RecordText(record, textRoom); };
    switch (record.Action) {
        case KCB_FILE_START:
            if (OnProgress) OnProgress(ptFileStart, text(), record.Number2);
            break;
        case KCB_BYTES_DONE:
            if (OnProgress) OnProgress(ptBytesDone, "", record.Number2);
            break;
        case KCB_BATCH_END:
            if (OnProgress) OnProgress(ptBatchEnd, "", 0);
            break;
        case KCB_MESSAGE:
            if (OnMessage) OnMessage(record.Number1, text());
            break;
        case KCB_FILE_COUNT:
            if (OnProgress) OnProgress(ptFileCount, "", record.Number2);
            break;
        case KCB_BYTE_TOTAL:
            if (OnProgress) OnProgress(ptByteTotal, "", record.Number2);
            break;
        case KCB_NEW_NAME:
            if (OnSetNewName) {
                std::string name(record.Text, strnlen(record.Text, sizeof record.Text));
                bool isChanged = false;
                OnSetNewName(name, isChanged);
                if (isChanged) {
                    SetRecordText(record, name, sizeof record.Text - 1);
                    record.Action = KCB_PASSWORD;
                }
            }
            break;
        case KCB_PASSWORD: {
            uint32_t repeatCount = static_cast<uint32_t>(record.Number2);
            std::string newPassword;
            if (OnPasswordError)
                OnPasswordError(newPassword, text(), repeatCount);
            else
                newPassword = (record.Number1 & 1) ? AddPasswordPrompt() : ExtractPasswordPrompt();
            if (!newPassword.empty()) {
                SetRecordText(record, newPassword, kMaxPassword);
                record.Number1 = 1;
            } else {
                record.Number1 = 0;
                repeatCount = 0;
            }
            record.Number2 = static_cast<int32_t>(std::min(repeatCount, kMaxRepeat));
            break;
        }
        case KCB_CRC_ERROR:
            if (OnCRC32Error) {
                bool doExtract = true;
                OnCRC32Error(text(), static_cast<uint32_t>(record.Number1),
                             static_cast<uint32_t>(record.Number2), doExtract);
                record.Number1 = doExtract ? 1 : 0;
            } else {
                record.Number1 = 2;
            }
            break;
        case KCB_OVERWRITE:
            if (OnExtractOverwrite) {
                bool doOverwrite = (record.Number2 & 0xFF) != 0;
                OnExtractOverwrite(text(), (record.Number1 & 1) != 0, doOverwrite);
                record.Number2 = doOverwrite ? 1 : 0;
            }
            break;
        case KCB_SKIPPED:
            if (OnExtractSkipped)
                OnExtractSkipped(text(), static_cast<uint8_t>(record.Number2 & 0xFF),
                                 record.Number1);
            break;
        default:
            break;
    }
    const int32_t result = CancelRequested ? KELP_CALLBACK_CANCEL : 0;
    host_->ProcessPendingMessages();
    return result;
}

}  // namespace kelp::engine
