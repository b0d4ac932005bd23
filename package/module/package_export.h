#pragma once
// Symbols of the package that hosts may reach; everything else stays hidden.
#define MAG_PACKAGE_EXPORT __attribute__((visibility("default")))
