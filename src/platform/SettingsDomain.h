// Where the user's settings live, as the organisation and application names QSettings is given.
#pragma once

#include <QString>

namespace lq {

struct SettingsDomain {
    QString organization;
    QString application;
    bool operator==(const SettingsDomain&) const = default;
};

// The user's settings of this build: on a Mac the preferences domain named by the bundle identifier,
// elsewhere the file lanternquill/Lanternquill.conf. Which is built is chosen when the project is
// configured.
SettingsDomain userSettingsDomain();

// The names that make QSettings on a Mac keep its values in the preferences domain `bundleIdentifier`.
// QSettings builds the domain from the organisation read as an internet domain, turned round and in
// lower case, followed by the application name: "org.lanternquill.Lanternquill2" needs
// "lanternquill.org" and "Lanternquill2". An identifier of fewer than three parts has no such names:
// the result is then empty.
SettingsDomain preferencesDomainOf(const QString& bundleIdentifier);

} // namespace lq
