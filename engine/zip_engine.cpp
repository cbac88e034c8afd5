#include "engine/zip_engine.h"

#include "engine/zip_messages.h"
#include "platform/folders.h"

namespace engine {

namespace {

// Warnings and notices that do not mean an operation failed.
bool IsWarning(int id) { return id == 10203 || id == 10204 || id == 10601 || id == 10701; }

constexpr size_t kPasswordMaxLength = 80;

}  // namespace

ZipEngine::ZipEngine() = default;
ZipEngine::~ZipEngine() = default;

void ZipEngine::setZipFileName(const std::string& name) {
    zipFileName_ = name;
    List();
}

std::string ZipEngine::TempFolder() const {
    return TempDir.empty() ? platform::TempFolder() : platform::WithTrailingSlash(TempDir);
}

void ZipEngine::SetHostUi(HostUi* host) { host_ = host ? host : &silentHost_; }

void ZipEngine::ShowEngineMessage(int id, const std::string& extra) {
    const std::string text = LookupMessage(id, MissingMessageText(id)) + extra;
    if (!IsWarning(id)) ++errorsReported_;
    if (!Unattended) host_->ShowMessage(text);
    if (OnMessage) OnMessage(0, text);
}

void ZipEngine::ReportEngineError(const EZipEngine& error) {
    if (!IsWarning(error.MessageId)) ++errorsReported_;
    if (error.ShowToUser && !Unattended) host_->ShowMessage(error.what());
    if (OnMessage) OnMessage(0, error.what());
}

int ZipEngine::AskPassword(const std::string& title, const std::string& prompt,
                           std::string& password) {
    std::string entered;
    if (host_->PasswordDialog(title, prompt, entered)) {
        // The dialog's edit holds at most 80 characters.
        password = entered.substr(0, kPasswordMaxLength);
        return 1;
    }
    password.clear();
    return 0;
}

std::string ZipEngine::AddPasswordPrompt() {
    if (Unattended) {
        ShowEngineMessage(10150);
        return {};
    }
    const std::string title = LookupMessage(10154, kMissingMessagePrefix);
    std::string first;
    if (AskPassword(title, LookupMessage(10155, MissingMessageText(10155)), first) != 1 ||
        first.empty())
        return {};
    std::string second;
    if (AskPassword(title, LookupMessage(10156, MissingMessageText(10156)), second) != 1 ||
        second.empty())
        return {};
    if (first != second) {
        ShowEngineMessage(10104);
        return {};
    }
    return second;
}

std::string ZipEngine::ExtractPasswordPrompt() {
    if (Unattended) {
        ShowEngineMessage(10151);
        return {};
    }
    std::string password;
    AskPassword(LookupMessage(10154, kMissingMessagePrefix),
                LookupMessage(10155, MissingMessageText(10155)), password);
    return password;
}

}  // namespace engine
