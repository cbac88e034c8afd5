// One archive operation run from the command line with only a progress
// window (for file managers and scripts): extract archives beside
// themselves or into a folder, or add files to an archive. Nothing is asked
// but a password an encrypted member needs; errors end in one message box.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kelp {

struct OneOperation {
    enum Kind { ExtractHere, ExtractTo, AddTo };
    Kind kind = ExtractHere;
    QString target;     // --extract-to's folder ("" asks for one), --add-to's archive
    QStringList paths;  // the archives to extract, or the files and folders to add
};

// Exit statuses of the operation.
enum OneOperationStatus { kOperationDone = 0, kOperationFailed = 1, kOperationUsage = 2 };

// The small window: what is being worked on, the gauge and "Halt  !!".
class OperationWindow : public QDialog {
    Q_OBJECT
  public:
    explicit OperationWindow(QWidget* parent = nullptr);
    QLabel* task() const { return task_; }      // the operation and its archive
    QLabel* member() const { return member_; }  // the file being worked on
    QProgressBar* gauge() const { return gauge_; }
    QPushButton* haltButton() const { return halt_; }
    bool Halted() const { return halted_; }
    // Called when the user halts (button, Escape, closing the window).
    std::function<void()> OnHalt;

  protected:
    void reject() override;  // Escape and the close button halt

  private:
    void Halt();
    QLabel* task_;
    QLabel* member_;
    QProgressBar* gauge_;
    QPushButton* halt_;
    bool halted_ = false;
};

// Runs `operation` and returns its exit status.
int RunOneOperation(const OneOperation& operation);

// The folder "extract here" writes `archive`'s members into, given the
// archive's member names: the archive's own folder when everything lies
// under one top-level name that is free there, else a new folder named
// after the archive (made unique with " (2)", " (3)", ...).
QString ExtractHereFolder(const QString& archive, const std::vector<std::string>& memberNames);

}  // namespace kelp
