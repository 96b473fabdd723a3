#include "platform/foundation/Localization.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace localization {

namespace {
constexpr const char* kContext = "Ripwell";
std::unique_ptr<QTranslator> g_translator;
} // namespace

bool install(const QString& language)
{
    if (g_translator) {
        QCoreApplication::removeTranslator(g_translator.get());
        g_translator.reset();
    }
    auto translator = std::make_unique<QTranslator>();
    bool loaded = false;
    if (language.isEmpty()) {
        loaded = translator->load(QLocale::system(), QStringLiteral("ripwell"), QStringLiteral("_"), QStringLiteral(":/i18n"));
    } else {
        loaded = translator->load(QLocale(language), QStringLiteral("ripwell"), QStringLiteral("_"), QStringLiteral(":/i18n"));
    }
    if (!loaded)
        return false;
    QCoreApplication::installTranslator(translator.get());
    g_translator = std::move(translator);
    return true;
}

QString localizedString(const char* englishKey)
{
    return QCoreApplication::translate(kContext, englishKey);
}

QString localizedString(const QString& englishKey)
{
    const QByteArray utf8 = englishKey.toUtf8();
    return QCoreApplication::translate(kContext, utf8.constData());
}

} // namespace localization
