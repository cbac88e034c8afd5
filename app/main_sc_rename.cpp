// Renaming the selected member in place: F2 or "&Rename" opens an edit of
// its whole name over its row; Enter renames it (a folder row renames the
// folder and everything under it), Escape or leaving the edit cancels.
#include <QKeyEvent>
#include <QLineEdit>

#include "main_sc.h"

namespace kelp {

namespace {

// A line edit that says when Escape cancels it or it loses the focus.
class RenameEdit : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;
    std::function<void(bool accepted)> done;

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            Finish(false);
            return;
        }
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            Finish(true);
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);
        Finish(false);
    }

  private:
    void Finish(bool accepted) {
        if (!done) return;
        auto call = std::move(done);
        done = nullptr;
        call(accepted);
    }
};

}  // namespace

void Main_sc::RenameSelected() {
    const QList<int> rows = SelectedRows();
    if (State.Busy || renameEdit_ || rows.isEmpty() || !RowRecord(rows.first())) return;
    const int row = rows.first();
    const uint32_t record = *RowRecord(row);
    const QString archive = memberRows_->Archive(record);
    const MemberRef member{std::string(memberRows_->Name(record)), memberRows_->Entry(record)};

    auto* edit = new RenameEdit(memberGrid->viewport());
    edit->setObjectName("renameEdit");
    edit->setAccessibleName("New name");
    const QString name = MemberPath(row);
    edit->setText(name);
    // The part after the folders is what is usually changed.
    const QString plain = name.endsWith('/') ? name.chopped(1) : name;
    const qsizetype leaf = plain.lastIndexOf('/') + 1;
    edit->setSelection(int(leaf), int(plain.size() - leaf));
    QRect cell = memberGrid->visualRect(memberGrid->gridModel()->index(row - 1, 0));
    cell.setRight(memberGrid->viewport()->width() - 1);
    edit->setGeometry(cell.adjusted(0, -2, 0, 2));
    edit->show();
    edit->setFocus();
    renameEdit_ = edit;
    edit->done = [this, edit, archive, member](bool accepted) {
        const std::string newName = edit->text().toStdString();
        renameEdit_ = nullptr;
        edit->deleteLater();
        memberGrid->setFocus();
        if (!accepted || newName.empty() || newName == member.name || State.Busy) return;
        session_.RenameMember(archive, member, newName);
    };
}

}  // namespace kelp
