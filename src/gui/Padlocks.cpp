#include "gui/Padlocks.h"

namespace grize::padlocks {

namespace {
// Each size's file names its array alike.
namespace x1 {
#include "pictures/lock_closed.xpm"
#include "pictures/lock_closed_dark.xpm"
#include "pictures/lock_open.xpm"
#include "pictures/lock_open_dark.xpm"
}  // namespace x1
namespace x2 {
#include "pictures/lock_closed@2x.xpm"
#include "pictures/lock_closed_dark@2x.xpm"
#include "pictures/lock_open@2x.xpm"
#include "pictures/lock_open_dark@2x.xpm"
}  // namespace x2
}  // namespace

const Picture kClosed{x1::lock_closed, x2::lock_closed};
const Picture kClosedDark{x1::lock_closed_dark, x2::lock_closed_dark};
const Picture kOpen{x1::lock_open, x2::lock_open};
const Picture kOpenDark{x1::lock_open_dark, x2::lock_open_dark};

}  // namespace grize::padlocks
