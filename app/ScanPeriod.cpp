#include "app/MainWindow.h"

const UINT app::scanPeriodMs = 1000;
