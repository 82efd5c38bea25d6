// Gives the interface's signals a home for moc.
#include "platform/DesktopNotifications.h"
