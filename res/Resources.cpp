#include "res/Resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE declares the initializer where it is used, so it must be
// used outside any namespace.
static void RegisterBeatwrightQrc() {
    Q_INIT_RESOURCE(beatwright);
}

namespace res {

void InitResources() {
    // Registering the same data twice is a no-op in Qt.
    RegisterBeatwrightQrc();
}

} // namespace res
