#pragma once
#include <QString>

// The current user's local application data folder, without a trailing separator.
// "The folder does not exist" when it is missing and cannot be created; empty when
// the platform names no such folder.
QString AppUserData_Path();
