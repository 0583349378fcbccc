// Off macOS the settings are the file $XDG_CONFIG_HOME/lanternquill/Lanternquill.conf.
#include "platform/SettingsDomain.h"

namespace lq {

SettingsDomain userSettingsDomain() {
    return {QStringLiteral("lanternquill"), QStringLiteral("Lanternquill")};
}

} // namespace lq
