#include "platform/BrowserProtocol.h"

namespace BrowserProtocol {

namespace {
const QString kProduct = QStringLiteral("--product");
const QString kCompany = QStringLiteral("--company");
const QString kWebsite = QStringLiteral("--website");
const QString kSkin = QStringLiteral("--skin");
}  // namespace

QProcessEnvironment browserEnvironment(const QProcessEnvironment& environment, bool privileged) {
    QProcessEnvironment out = environment;
    if (privileged) return out;
    out.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
    out.remove(QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"));
    const QString flagsName = QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!out.contains(flagsName)) return out;
    QStringList kept;
    for (const QString& flag : out.value(flagsName).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // The engine takes a switch with one dash or two, its value after "=".
        QString name = flag;
        if (name.startsWith(QLatin1String("--"))) name.remove(0, 2);
        else if (name.startsWith(QLatin1Char('-'))) name.remove(0, 1);
        name = name.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("no-sandbox") || name == QLatin1String("remote-debugging-port") ||
            name == QLatin1String("remote-debugging-pipe"))
            continue;
        kept.push_back(flag);
    }
    if (kept.isEmpty()) out.remove(flagsName);
    else out.insert(flagsName, kept.join(QLatin1Char(' ')));
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
