// On a Mac the settings are the preferences domain of the application's bundle identifier, so that
// `defaults read` and configuration profiles find them where they look for any application's.
#include "platform/SettingsDomain.h"

namespace lq {

SettingsDomain userSettingsDomain() {
    return preferencesDomainOf(QStringLiteral(LQ_BUNDLE_IDENTIFIER));
}

} // namespace lq
