#include "platform/BrowserProtocol.h"

namespace BrowserProtocol {

namespace {
const QString kProduct = QStringLiteral("--product");
const QString kCompany = QStringLiteral("--company");
const QString kWebsite = QStringLiteral("--website");
const QString kSkin = QStringLiteral("--skin");

// The flags as the web engine reads them from QTWEBENGINE_CHROMIUM_FLAGS:
// split at spaces, with double quotes taken out wherever they stand and the
// spaces between them kept.
QStringList engineArguments(const QString& flags) {
    QStringList out;
    QString arg;
    bool quoted = false;
    bool inArg = false;
    for (const QChar c : flags) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inArg = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (inArg) out.push_back(arg);
            arg.clear();
            inArg = false;
        } else {
            arg += c;
            inArg = true;
        }
    }
    if (!arg.isEmpty()) out.push_back(arg);
    return out;
}

// The flags written back so that the engine reads these arguments.
QString engineFlags(const QStringList& arguments) {
    QStringList out;
    for (const QString& a : arguments)
        out.push_back(a.isEmpty() || a.contains(QLatin1Char(' ')) ? QLatin1Char('"') + a + QLatin1Char('"') : a);
    return out.join(QLatin1Char(' '));
}

// A switch that turns a sandbox off or runs the engine without one, opens a
// debugging port or pipe, turns web security off, or starts the engine's
// processes through another program.
bool weakensTheEngine(const QString& argument) {
    // The engine takes a switch with one dash or two, its value after "=".
    QString name = argument.toLower();
    if (name.startsWith(QLatin1String("--"))) name.remove(0, 2);
    else if (name.startsWith(QLatin1Char('-'))) name.remove(0, 1);
    else return false;
    name = name.section(QLatin1Char('='), 0, 0);
    const QStringList words = name.split(QLatin1Char('-'));
    if ((words.first() == QLatin1String("no") || words.first() == QLatin1String("disable")) &&
        words.contains(QLatin1String("sandbox")))
        return true;
    static const QStringList kNamed = {
        QStringLiteral("single-process"),
        QStringLiteral("no-zygote"),
        QStringLiteral("disable-web-security"),
        QStringLiteral("reduce-security-for-testing"),
        QStringLiteral("ignore-certificate-errors"),
        QStringLiteral("allow-running-insecure-content"),
        QStringLiteral("disable-site-isolation-trials"),
    };
    if (kNamed.contains(name)) return true;
    // The address alone opens nothing.
    if (name.startsWith(QLatin1String("remote-debugging-")) && name != QLatin1String("remote-debugging-address"))
        return true;
    return name.endsWith(QLatin1String("-cmd-prefix")) || name.endsWith(QLatin1String("-launcher"));
}

}  // namespace

QProcessEnvironment browserEnvironment(const QProcessEnvironment& environment, bool privileged) {
    QProcessEnvironment out = environment;
    if (privileged) return out;
    out.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    out.remove(QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"));
    const QString flagsName = QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!out.contains(flagsName)) return out;
    const QStringList given = engineArguments(out.value(flagsName));
    QStringList kept;
    for (const QString& argument : given)
        if (!weakensTheEngine(argument)) kept.push_back(argument);
    if (kept.size() == given.size()) return out;  // as it was, spelling and all
    if (kept.isEmpty()) out.remove(flagsName);
    else out.insert(flagsName, engineFlags(kept));
    return out;
}

QStringList identityArguments(const WebsiteIdentity& identity) {
    return {kProduct, identity.productName, kCompany, identity.companyName,
            kWebsite, identity.website,     kSkin,    identity.skin ? QStringLiteral("1") : QStringLiteral("0")};
}

std::optional<WebsiteIdentity> identityFromArguments(const QStringList& arguments) {
    WebsiteIdentity identity;
    int seen = 0;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        const QString& name = arguments[i];
        const QString& value = arguments[i + 1];
        int bit = 0;
        if (name == kProduct) {
            bit = 1;
            identity.productName = value;
        } else if (name == kCompany) {
            bit = 2;
            identity.companyName = value;
        } else if (name == kWebsite) {
            bit = 4;
            identity.website = value;
        } else if (name == kSkin && (value == QLatin1String("0") || value == QLatin1String("1"))) {
            bit = 8;
            identity.skin = value == QLatin1String("1");
        } else {
            return std::nullopt;
        }
        if (seen & bit) return std::nullopt;
        seen |= bit;
    }
    if (arguments.size() % 2 != 0 || seen != 15) return std::nullopt;
    return identity;
}

QList<QByteArray> LineReader::feed(const QByteArray& bytes) {
    QList<QByteArray> lines;
    for (const char c : bytes) {
        if (c == '\n') {
            if (!skipping_) {
                if (partial_.endsWith('\r')) partial_.chop(1);
                lines.push_back(partial_);
            }
            partial_.clear();
            skipping_ = false;
        } else if (!skipping_) {
            partial_.append(c);
            if (partial_.size() > kMaxLine) {
                partial_.clear();
                skipping_ = true;
            }
        }
    }
    return lines;
}

}  // namespace BrowserProtocol
