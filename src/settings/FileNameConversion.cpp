#include "settings/FileNameConversion.h"

#include "platform/ShortName.h"

TNameConversion NameConversion(const TSettings& settings) {
    return {settings.ConversionUseShortName, settings.ConversionCase, settings.ConversionSpaces,
            settings.ConversionChar};
}

namespace {

// The replacement must not make the name a path on the server or leave it with
// control bytes; an empty or unusable choice falls back to "_".
QChar Replacement(const QString& text) {
    if (text.isEmpty()) return QLatin1Char('_');
    const QChar c = text.front();
    if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 32 || c.unicode() == 127)
        return QLatin1Char('_');
    return c;
}

} // namespace

QString ApplyNameConversion(const QString& name, const TNameConversion& rule) {
    QString result = name;
    if (rule.Case == 1)
        result = result.toLower();
    else if (rule.Case == 2)
        result = result.toUpper();
    const QChar treated = rule.UseShortName ? QLatin1Char('~') : QLatin1Char(' ');
    if (rule.Spaces == 1)
        result.remove(treated);
    else if (rule.Spaces == 2)
        result.replace(treated, Replacement(rule.Char));
    return result;
}

QString ConvertFileName(const QString& localPath, const TNameConversion& rule) {
    const QString path = rule.UseShortName ? ShortPathName(localPath) : localPath;
    return ApplyNameConversion(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1), rule);
}
