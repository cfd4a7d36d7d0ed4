#pragma once
// Program-wide state the member operations share with the shell.
#include <QString>

#include <atomic>

namespace quorvel {

// The logged-in operator's name, as the login wrote it into the status bar's operator part
// (the shell sets both together; worker threads read it here, never from the widget).
QString loggedInOperator();
void setLoggedInOperator(const QString& name);

// Record number of the member last recognised on the add page; 0 until the first one.
// Lives as long as the program.
int currentMemberRecord();
void setCurrentMemberRecord(int record);

} // namespace quorvel
