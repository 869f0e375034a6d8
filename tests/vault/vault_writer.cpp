// Replaces a vault over and over with one of two contents, until killed.
#include "vault/VaultFile.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QByteArray a(300000, 'A');
    const QByteArray b(500000, 'B');
    std::puts("ready");
    std::fflush(stdout);
    for (unsigned i = 0;; ++i) {
        if (!VaultFile::writeAtomic(path, (i % 2) ? b : a).ok) return 1;
    }
}
