#include "app/MainWindow.h"

// The soak test's build only: ten scans a second, to reach more scans in less time.
const UINT app::scanPeriodMs = 100;
