#include "edit_watch.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace kelp {

CopyState StateOfCopy(const QString& file) {
    CopyState state;
    struct stat st {};
    QFile f(file);
    if (::stat(QFile::encodeName(file).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !f.open(QIODevice::ReadOnly))
        return state;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f)) return state;
    state.size = st.st_size;
    state.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    state.hash = hash.result();
    return state;
}

EditWatch::EditWatch(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &EditWatch::CheckCopies);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &EditWatch::Changed);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &EditWatch::Changed);
}

OpenedMember& EditWatch::Watch(OpenedMember member) {
    watcher_.addPath(QFileInfo(member.file).absolutePath());
    watcher_.addPath(member.file);
    if (OpenedMember* old = Find(member.archive, member.name)) {
        *old = std::move(member);
        return *old;
    }
    members_.push_back(std::make_unique<OpenedMember>(std::move(member)));
    return *members_.back();
}

OpenedMember* EditWatch::Find(const QString& archive, const std::string& name) {
    for (auto& m : members_)
        if (m->archive == archive && m->name == name) return m.get();
    return nullptr;
}

void EditWatch::Changed() {
    // A file renamed over the copy is a new file: it is watched again.
    const QStringList watched = watcher_.files();
    for (auto& m : members_)
        if (!watched.contains(m->file) && QFileInfo::exists(m->file)) watcher_.addPath(m->file);
    settle_.start();
}

void EditWatch::CheckCopies() {
    settle_.stop();
    for (auto& m : members_) {
        if (m->asking) continue;
        const CopyState now = StateOfCopy(m->file);
        // A copy removed (or in the middle of a rename) is no edit.
        if (now.size < 0 || now.SameBytes(m->seen)) continue;
        m->asking = true;
        emit CopyChanged(m.get());
    }
}

std::vector<OpenedMember*> EditWatch::Unchanged() {
    std::vector<OpenedMember*> out;
    for (auto& m : members_)
        if (m->archiveStamp &&
            engine::StampOf(QFile::encodeName(m->archive).toStdString()) == m->archiveStamp)
            out.push_back(m.get());
    return out;
}

void EditWatch::Restamp(const std::vector<OpenedMember*>& members) {
    for (OpenedMember* m : members)
        m->archiveStamp = engine::StampOf(QFile::encodeName(m->archive).toStdString());
}

}  // namespace kelp
