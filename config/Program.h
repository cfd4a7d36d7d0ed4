#pragma once
#include <QString>
#include <functional>

namespace quorvel::program {

// Starts a program without waiting for it; the result is whether it could be started.
bool startDetached(const QString& path);
// Tests record the starts instead of running programs; an empty function restores the real one.
void setStarterForTesting(std::function<bool(const QString&)> starter);

// A sibling executable in the executable's own folder.
QString siblingExecutable(const QString& name);

inline const QString kMainProgram = QStringLiteral("quorvel");
inline const QString kUsersProgram = QStringLiteral("quorvel-users");

} // namespace quorvel::program
