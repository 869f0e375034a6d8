#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Files whose bytes must reach the disk, or whose failure must be known: every
// system call's result is checked, and nothing is created through a link or
// readable by others before its first byte.
namespace DurableFile {

// The file operations, in the order a save makes them.
enum class Op {
    Open,     // create the new file
    Protect,  // set its permissions
    Write,
    Sync,  // its data to the disk
    Close,
    Rename,  // over the old file, or to the name it is swapped in from
    Swap,    // the new file and the old one change places
    Remove,  // what a swap displaced, once looked at
    FolderOpen,
    FolderSync,  // the rename to the disk
    ReadOpen,
    ReadStat,
    Read,
};
QString opName(Op op);

// Test seam: asked before each operation; a non-zero answer is an errno that
// the operation then fails with, without being made. Answers the hook it
// replaces, so hooks can be stacked.
std::function<int(Op)> setFaultHook(std::function<int(Op)> hook);

enum class Outcome {
    Done,
    Failed,       // the old file, if any, is as it was
    Unconfirmed,  // the new file is in place, but the system could not confirm it is on the disk
};

struct WriteResult {
    Outcome outcome = Outcome::Done;
    QString why;  // the system's words for the failure
};

// Writes bytes to a new owner-only file beside path, syncs and closes it,
// renames it over path and syncs the folder. mode: the permissions the file
// ends with (an existing file's, to keep them); -1 for owner-only.
WriteResult replace(const QString& path, const QByteArray& bytes, int mode);

// Creates path, never through a link, owner-only, and writes bytes synced to
// disk. *taken is set, and nothing done, when the name exists in any form.
WriteResult createExclusive(const QString& path, const QByteArray& bytes, bool* taken);

// Which file a name stands for, and which version of it: a file replaced by
// a rename, or written in place, has another stamp.
struct Stamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    // Why it could not be looked at; 0 when it could, or when nothing is there.
    int error = 0;
    friend bool operator==(const Stamp&, const Stamp&) = default;
};

// The same file, unchanged: a rename alone (which moves the change time) does
// not make it another.
bool sameFile(const Stamp& a, const Stamp& b);
// The same file, changed or not.
bool sameInode(const Stamp& a, const Stamp& b);

// The stamp of what the name leads to now; one that does not exist when
// nothing is there, or, with its error, when it cannot be looked at.
Stamp stampOf(const QString& path);
// The stamp of a file this process has open.
Stamp stampOfOpen(int fd);

// Where the file system can swap two names in one step, the new file and
// path change places: the version displaced is left, synced, at a name of
// its own beside path (path, ".displaced-" and 16 hex digits), never taken
// for a leftover, for the caller to look at and then drop or keep. Elsewhere,
// or when nothing is at path, the new file is renamed over it as replace does.
struct SwapResult {
    WriteResult write;
    // The new file as it was made: still the one at path, if nothing else
    // has replaced it since.
    Stamp created;
    QString displaced;  // empty when nothing was displaced but replaced
};

SwapResult swapIn(const QString& path, const QByteArray& bytes, int mode);

// Renames from to `to` only if that name is free: *taken is set, and nothing
// done, when it is not. The folder is synced.
WriteResult renameFree(const QString& from, const QString& to, bool* taken);

// Removes a file and syncs its folder.
WriteResult remove(const QString& path);

enum class ReadKind { Plain, Missing, Folder, Special, TooLarge, Error };
struct ReadResult {
    ReadKind kind = ReadKind::Plain;
    QString why;
    qint64 size = -1;  // TooLarge: the file's size, as far as it was seen
};

// Opens first, then looks at what was opened: a named pipe swapped in cannot
// block the read. Reads only a plain file, and only one of at most limit
// bytes: never is more than that allocated, however large the file says it
// is or grows while it is read. *stamp, when given, receives the stamp of
// the file that was read.
ReadResult readPlain(const QString& path, QByteArray* bytes, qint64 limit, Stamp* stamp = nullptr);

// Removes the new files that saves over path left behind when they were
// killed before their rename: plain files of ours with the name a save gives
// them, nothing else. Only while no save of ours can be running. Returns how
// many went.
int removeLeftovers(const QString& path);

// The permission bits of an existing file, -1 when there is none.
int permissions(const QString& path);

}  // namespace DurableFile
