// What the window shows of the engine's work: the caption, the progress
// gauge, the operation log and the halt button.
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "main_sc.h"

namespace kelp {

void Main_sc::EngineDirUpdate() {
    if (!engine.UnreadableArchive().empty())
        unopenedArchive_ = QString::fromStdString(engine.UnreadableArchive());
    else if (!engine.ZipFileName().empty())
        unopenedArchive_.clear();
    UpdateCaption();
}

void Main_sc::LogAdd(const QString& line) {
    LogAddUtf8(line.toStdString());
}

void Main_sc::LogAddUtf8(std::string_view lines) {
    if (!Viewer) return;
    // Lines gather until the event loop turns and then go into the log in one
    // append; the log stores them without laying them out.
    if (pendingLog_.isEmpty()) QTimer::singleShot(0, Viewer->logView(), [this] { FlushLog(); });
    pendingLog_.append(lines.data(), qsizetype(lines.size())).append('\n');
}

void Main_sc::FlushLog() {
    if (!Viewer || pendingLog_.isEmpty()) return;
    Viewer->logView()->appendText(pendingLog_);
    pendingLog_.clear();
}

QStringList Main_sc::LogLines() {
    FlushLog();
    return Viewer ? Viewer->logView()->lines() : QStringList();
}

void Main_sc::HaltButtonClick() {
    if (session_.Halt()) haltButton->setEnabled(false);
}

void Main_sc::SetGauge(int percent) {
    if (percent == gauge->value()) return;
    // The bar would repaint itself here at every percent; with updates held
    // it is drawn at the next turn of the event loop instead.
    gauge->setUpdatesEnabled(false);
    gauge->setValue(percent);
    gauge->setUpdatesEnabled(true);
}

void Main_sc::ClearLog() {
    pendingLog_.clear();
    if (Viewer) Viewer->logView()->clear();
}

}  // namespace kelp
