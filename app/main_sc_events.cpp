// The engine's events: the progress gauge, the operation log, passwords,
// overwrite questions and the caption; plus the log marks and the halt button.
#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "main_sc.h"

namespace kelp {

namespace {

// Tried when the predefined password for a try is empty.
const char* const kFallbackPassword = "Vorn";

QString Now() {
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + " " +
           locale.toString(now.time(), QLocale::LongFormat);
}

}  // namespace

void Main_sc::EngineDirUpdate() {
    if (!engine.UnreadableArchive().empty()) unopenedArchive_ = QString::fromStdString(engine.UnreadableArchive());
    else if (!engine.ZipFileName().empty()) unopenedArchive_.clear();
    UpdateCaption();
}

void Main_sc::EngineProgress(engine::ProgressType type, const std::string&, int64_t fileSize) {
    if (type == engine::ptBytesDone) {
        State.DoneBytes += fileSize;
        int64_t percent = 100;
        if (State.TotalBytes != 0)
            percent = static_cast<int64_t>(static_cast<long double>(State.DoneBytes) /
                                           State.TotalBytes * 100.0L);
        const int value = static_cast<int>(std::clamp<int64_t>(percent, 0, 100));
        if (value != gauge->value()) {
            // The bar would repaint itself here at every percent; with updates
            // held it is drawn at the next turn of the event loop instead.
            gauge->setUpdatesEnabled(false);
            gauge->setValue(value);
            gauge->setUpdatesEnabled(true);
        }
    } else if (type == engine::ptByteTotal) {
        switch (State.CurrentAction) {
            case actExtract:
                State.TotalBytes = State.SelectedBytes;
                break;
            case actExtractAll:
            case actCheckout:
            case actTest:
            case actDelete:
            case actView:
                State.TotalBytes = fileSize;
                break;
            default:
                break;
        }
        State.DoneBytes = 0;
    }
}

void Main_sc::LogAdd(const QString& line) {
    if (!Viewer) return;
    // Lines gather until the event loop turns and then go into the log in one
    // append, so a line costs its own length however long the log is.
    if (pendingLog_.isEmpty()) QTimer::singleShot(0, Viewer->logMemo(), [this] { FlushLog(); });
    pendingLog_.append(line);
}

void Main_sc::FlushLog() {
    if (!Viewer || pendingLog_.isEmpty()) return;
    ColorMemo* memo = Viewer->logMemo();
    memo->appendPlainText(pendingLog_.join(QLatin1Char('\n')));
    pendingLog_.clear();
    memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
}

QStringList Main_sc::LogLines() {
    FlushLog();
    const QString text = Viewer ? Viewer->logMemo()->toPlainText() : QString();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void Main_sc::EngineMessage(int errCode, const std::string& message) {
    if (startupOpen_) startupFailed_ = true;
    LogAdd(QString::fromStdString(message));
    if (errCode > 0 && !engine.Unattended) State.LastError = QString::fromStdString(message);
}

void Main_sc::EnginePasswordError(std::string& newPassword, const std::string& forFile,
                                   uint32_t& repeatCount) {
    // The three predefined passwords answer the first three tries silently.
    const QString* predefined = repeatCount == 6   ? &Settings.P1
                                : repeatCount == 5 ? &Settings.P2
                                : repeatCount == 4 ? &Settings.P3
                                                   : nullptr;
    if (predefined) {
        engine.Password =
            predefined->isEmpty() ? std::string(kFallbackPassword) : predefined->toStdString();
        newPassword = engine.Password;
        return;
    }
    engine.AskPassword(
        "EnterPassword",
        "Extracting " + forFile + " Plz enter password(" + std::to_string(repeatCount) + ")",
        newPassword);
    engine.Password = newPassword.substr(0, 255);
}

void Main_sc::EngineExtractOverwrite(const std::string& forFile, bool, bool& doOverwrite) {
    Settings.Extrover = doOverwrite;
    if (State.CurrentAction == actView) {
        doOverwrite = true;
        return;
    }
    if (doOverwrite) return;
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
                    "Overwrite " + QString::fromStdString(forFile) + "?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll, this);
    const int answer = box.exec();
    if (answer == QMessageBox::YesToAll) Settings.Extrover = true;
    doOverwrite = answer == QMessageBox::Yes || answer == QMessageBox::YesToAll;
}

void Main_sc::WriteLogMark(LogMark mark) {
    switch (mark) {
        case lmStart:
            State.LastError.clear();
            pendingLog_.clear();
            if (Viewer) Viewer->logMemo()->clear();
            LogAdd("Start Time " + Now());
            LogAdd(LogSeparator);
            break;
        case lmSeparator:
            LogAdd(LogSeparator);
            break;
        case lmEnd:
            LogAdd(LogSeparator);
            LogAdd("End Time " + Now());
            LogAdd(State.LastError.isEmpty() ? QString("No Errors found")
                                             : "Error found :" + State.LastError);
            break;
    }
}

void Main_sc::HaltButtonClick() {
    // Asks the library to stop; the running action keeps the window busy
    // until its call has returned and the common ending has run, so nothing
    // started meanwhile can clear the request (an action asked for in the
    // meantime runs after the ending, see Dispatch).
    if (!State.Busy) return;
    engine.CancelRequested = true;
    // The dispatcher's loop over the opened archives stops too.
    haltRequested_ = true;
    haltButton->setEnabled(false);
}

}  // namespace kelp
