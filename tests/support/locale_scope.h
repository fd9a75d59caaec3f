// Sets Qt's default locale, which the database layer takes as the user's, for one test.
#pragma once

#include <QLocale>

namespace levrano::test {

class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

}  // namespace levrano::test
