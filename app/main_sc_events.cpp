// What the window shows of the engine's work: the caption, the progress
// gauge, the operation log and the halt button.
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
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
    if (Viewer) Viewer->logMemo()->clear();
}

}  // namespace kelp
