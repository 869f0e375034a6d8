// Replaces a vault once, with files capped at a size as a full disk would cap
// them: past the cap a write is cut short, then fails (SIGXFSZ is ignored, so
// the process lives on to tell). Needs no root.
//   vault_capped_writer PATH CAP-BYTES SIZE
// Prints what the save reported; exits 0 when it reported success, 1 when it
// reported failure, 2 when the cap could not be set.
#include "vault/VaultFile.h"

#include <QByteArray>
#include <QString>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const rlim_t cap = std::strtoull(argv[2], nullptr, 10);
    const qsizetype size = static_cast<qsizetype>(std::strtoll(argv[3], nullptr, 10));
    if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) return 2;
    const rlimit limit{cap, cap};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    const VaultFile::Result r = VaultFile::writeAtomic(path, QByteArray(size, 'n'));
    std::printf("%s\n%s\n%s\n", r.ok ? "saved" : "failed", r.replaced ? "replaced" : "kept", qPrintable(r.error));
    return r.ok ? 0 : 1;
}
