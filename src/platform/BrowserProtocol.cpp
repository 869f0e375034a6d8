#include "platform/BrowserProtocol.h"

namespace BrowserProtocol {

namespace {
const QString kProduct = QStringLiteral("--product");
const QString kCompany = QStringLiteral("--company");
const QString kWebsite = QStringLiteral("--website");
const QString kSkin = QStringLiteral("--skin");
}  // namespace

QStringList identityArguments(const WebsiteIdentity& identity) {
    return {kProduct, identity.productName, kCompany, identity.companyName, kWebsite, identity.website,
            kSkin,    identity.skin ? QStringLiteral("1") : QStringLiteral("0")};
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
