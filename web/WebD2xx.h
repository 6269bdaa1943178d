// The two D2XX tables the browser edition's adapter can bind (D2xxDriver::staticTable):
// the virtual gyro linked into the module, or the page's port object.
#pragma once

#include "link/D2xxDriver.h"

const D2xxDriver& VirtualGyroD2xxTable();
const D2xxDriver& PortD2xxTable();
