#include "debug/qoDebugUtil.h"

void qoDebugUtil::Init() {}

void qoDebugUtil::Shutdown() {}

void qoDebugUtil::ReadDebugActions() {}
