// The interface "Main": window controllers made on demand by identifier. The widgets register real
// windows; tests register their own.
#pragma once

#include <QString>

#include <functional>
#include <map>
#include <memory>

namespace lq {

// A window and its controller, as the application delegate keeps it.
class WindowController {
public:
    virtual ~WindowController() = default;
    // Puts the window on screen, or brings it to the front and gives it the keyboard when it is there
    // already.
    virtual void showWindow() = 0;
};

class Interface {
public:
    using Factory = std::function<std::unique_ptr<WindowController>()>;
    void add(const QString& identifier, Factory factory) { factories_[identifier] = std::move(factory); }
    // A new controller for the identifier, or nothing when the interface has none under it.
    std::unique_ptr<WindowController> instantiate(const QString& identifier) const {
        const auto found = factories_.find(identifier);
        return found == factories_.end() ? nullptr : found->second();
    }

private:
    std::map<QString, Factory> factories_;
};

inline const QString kHelpWindowController = QStringLiteral("Help Window Controller");
inline const QString kRefWindowController = QStringLiteral("Ref Window Controller");
inline const QString kNamedWindowController = QStringLiteral("Named Window Controller");
inline const QString kSettingsWindowController = QStringLiteral("Settings Window Controller");

} // namespace lq
