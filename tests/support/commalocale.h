#pragma once
// Runs part of a test in a locale with a decimal comma, as an operator's desktop may be
// set up. Where the system has no such locale it is built into a private folder from the
// system's locale sources; without those, active() is false and the test skips.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <clocale>
#include <string>

namespace qn::test {

class CommaLocale {
public:
    CommaLocale()
    {
        const char *current = std::setlocale(LC_ALL, nullptr);
        m_previous = current ? current : "C";
        if (tryLocale())
            return;
        if (!m_dir.isValid())
            return;
        const QString target = m_dir.path() + QStringLiteral("/de_DE.UTF-8");
        QProcess localedef;
        localedef.start(QStringLiteral("localedef"), {"-i", "de_DE", "-f", "UTF-8", target});
        if (!localedef.waitForFinished(60000) || !QFile::exists(target))
            return;
        m_oldLocpath = qgetenv("LOCPATH");
        m_hadLocpath = qEnvironmentVariableIsSet("LOCPATH");
        qputenv("LOCPATH", QFile::encodeName(m_dir.path()));
        m_setLocpath = true;
        tryLocale();
    }
    ~CommaLocale()
    {
        std::setlocale(LC_ALL, m_previous.c_str());
        if (m_setLocpath) {
            if (m_hadLocpath)
                qputenv("LOCPATH", m_oldLocpath);
            else
                qunsetenv("LOCPATH");
        }
    }
    CommaLocale(const CommaLocale &) = delete;
    CommaLocale &operator=(const CommaLocale &) = delete;

    bool active() const { return m_active; }

private:
    bool tryLocale()
    {
        m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr
            && std::localeconv()->decimal_point[0] == ',';
        return m_active;
    }

    std::string m_previous;
    QTemporaryDir m_dir;
    QByteArray m_oldLocpath;
    bool m_hadLocpath = false;
    bool m_setLocpath = false;
    bool m_active = false;
};

} // namespace qn::test
