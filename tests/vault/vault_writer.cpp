// Replaces a vault over and over with one of two contents, until killed; or,
// with "die-before-rename", saves once and dies the moment before its rename.
#include "platform/DurableFile.h"
#include "vault/VaultFile.h"

#include <QByteArray>
#include <QString>

#include <unistd.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QByteArray a(300000, 'A');
    const QByteArray b(500000, 'B');
    if (argc > 2 && std::strcmp(argv[2], "die-before-rename") == 0) {
        DurableFile::setFaultHook([](DurableFile::Op op) {
            if (op == DurableFile::Op::Rename) ::_exit(9);
            return 0;
        });
        VaultFile::writeAtomic(path, b);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    for (unsigned i = 0;; ++i) {
        if (!VaultFile::writeAtomic(path, (i % 2) ? b : a).ok) return 1;
    }
}
