#include "WindowResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside a namespace.
static void InitWindowResourceData() {
    Q_INIT_RESOURCE(window_qm);
    Q_INIT_RESOURCE(window_icons);
}

namespace window_resources {

void Init() {
    static const bool done = (InitWindowResourceData(), true);
    (void)done;
}

}  // namespace window_resources
