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

// What a user may need the engine told, and nothing known to weaken it: the
// GPU and rendering, the scale, the language, the page's look, accessibility.
const QStringList kHarmlessSwitches = {
    QStringLiteral("disable-gpu"),
    QStringLiteral("disable-gpu-compositing"),
    QStringLiteral("disable-gpu-rasterization"),
    QStringLiteral("enable-gpu-rasterization"),
    QStringLiteral("disable-software-rasterizer"),
    QStringLiteral("ignore-gpu-blocklist"),
    QStringLiteral("enable-zero-copy"),
    QStringLiteral("use-gl"),
    QStringLiteral("use-angle"),
    QStringLiteral("force-device-scale-factor"),
    QStringLiteral("force-color-profile"),
    QStringLiteral("disable-smooth-scrolling"),
    QStringLiteral("force-dark-mode"),
    QStringLiteral("lang"),
    QStringLiteral("user-agent"),
    QStringLiteral("force-renderer-accessibility"),
};

// The features those switches may name: video decoding and drawing only.
// Anything else, isolation above all, is not the user's to turn on or off here.
const QStringList kHarmlessFeatures = {
    QStringLiteral("vaapivideodecoder"),
    QStringLiteral("vaapivideoencoder"),
    QStringLiteral("vaapivideodecodelinuxgl"),
    QStringLiteral("vaapiignoredriverchecks"),
    QStringLiteral("acceleratedvideodecodelinuxgl"),
    QStringLiteral("vulkan"),
    QStringLiteral("defaultanglevulkan"),
    QStringLiteral("vulkanfromangle"),
    QStringLiteral("useskiarenderer"),
    QStringLiteral("canvasooprasterization"),
    QStringLiteral("overlayscrollbar"),
};

// One argument as the engine reads it: blanks around it trimmed, then a
// switch with one dash or two, its name in any case, its value after "=".
struct EngineSwitch {
    bool isSwitch = false;
    QString written;  // trimmed, as given
    QString name;     // without the dashes, lower case
    QString value;
};

EngineSwitch engineSwitch(const QString& argument) {
    EngineSwitch s;
    s.written = argument.trimmed();
    QString rest = s.written;
    if (rest.startsWith(QLatin1String("--"))) rest.remove(0, 2);
    else if (rest.startsWith(QLatin1Char('-'))) rest.remove(0, 1);
    else return s;
    s.isSwitch = true;
    const qsizetype equals = rest.indexOf(QLatin1Char('='));
    s.name = rest.left(equals).toLower();
    if (equals >= 0) s.value = rest.mid(equals + 1);
    return s;
}

bool namesFeatures(const EngineSwitch& s) {
    return s.name == QLatin1String("enable-features") || s.name == QLatin1String("disable-features");
}

// Each feature as the engine splits the list: blanks trimmed, a leading "*"
// and what follows "<" (a trial) or ":" (its parameters) are no part of the name.
bool onlyHarmlessFeatures(const QString& list) {
    for (const QString& entry : list.split(QLatin1Char(','))) {
        QString feature = entry.trimmed();
        if (feature.startsWith(QLatin1Char('*'))) feature.remove(0, 1);
        for (const QChar stop : {QLatin1Char('<'), QLatin1Char(':')}) feature = feature.section(stop, 0, 0);
        feature = feature.trimmed().toLower();
        if (!feature.isEmpty() && !kHarmlessFeatures.contains(feature)) return false;
    }
    return true;
}

bool harmless(const EngineSwitch& s) {
    if (!s.isSwitch) return false;
    if (namesFeatures(s)) return onlyHarmlessFeatures(s.value);
    return kHarmlessSwitches.contains(s.name);
}

// How a dropped argument is named: a switch without its value, which may be
// anyone's business (the features excepted, which say what was refused), on
// one line whatever it holds.
QString shownAs(const EngineSwitch& s) {
    QString shown = s.isSwitch && !namesFeatures(s) ? s.written.section(QLatin1Char('='), 0, 0) : s.written;
    if (shown.isEmpty()) return QStringLiteral("\"\"");
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char('?');
    return shown;
}

// Settings read by the engine that only weaken it: no sandbox, a debugging
// port, or another program in place of its own helper.
const QStringList kWeakeningVariables = {
    QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"),
    QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"),
    QStringLiteral("QTWEBENGINE_PROCESS_PATH"),
};

const QString kFlagsVariable = QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS");

}  // namespace

QProcessEnvironment browserEnvironment(const QProcessEnvironment& environment, bool privileged) {
    QProcessEnvironment out = environment;
    // Ours to say, never the caller's.
    out.remove(QLatin1String(kDroppedVariable));
    if (privileged) return out;
    QStringList dropped;
    for (const QString& name : kWeakeningVariables) {
        if (!out.contains(name)) continue;
        out.remove(name);
        dropped.push_back(name);
    }
    if (out.contains(kFlagsVariable)) {
        const QStringList given = engineArguments(out.value(kFlagsVariable));
        QStringList kept;
        bool left = false;
        for (const QString& argument : given) {
            const EngineSwitch s = engineSwitch(argument);
            if (harmless(s)) {
                kept.push_back(s.written);
            } else {
                dropped.push_back(shownAs(s));
                left = true;
            }
        }
        // Otherwise as it was, spelling and all.
        if (left && kept.isEmpty()) out.remove(kFlagsVariable);
        else if (left) out.insert(kFlagsVariable, engineFlags(kept));
    }
    if (!dropped.isEmpty()) out.insert(QLatin1String(kDroppedVariable), dropped.join(QLatin1Char(' ')));
    return out;
}

QByteArray droppedNotice(const QProcessEnvironment& environment) {
    QString dropped = environment.value(QLatin1String(kDroppedVariable));
    if (dropped.isEmpty()) return {};
    dropped.replace(QLatin1Char('\n'), QLatin1Char('?')).replace(QLatin1Char('\r'), QLatin1Char('?'));
    return QStringLiteral("tressik-browser: not passed to the web engine, as not known to be harmless: %1\n")
        .arg(dropped)
        .toLocal8Bit();
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
