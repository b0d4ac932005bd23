#pragma once
// The package's plain entries, as a host finds them with dlsym.
#ifdef __cplusplus
extern "C" {
#endif

// The entry the host calls to open the screen. Errors are handed to the host's
// application object (shown as an error dialog); none crosses this boundary.
void IniProc(void);
// Start the package's units after loading / shut them down before unloading.
void Initialize(void);
void Finalize(void);

struct PackageUnitEntry {
  const char* unit_name;
  void (*initialization)(void);
  void (*finalization)(void);
};
struct PackageInfoTable {
  int unit_count;
  const struct PackageUnitEntry* units;
};
// The package's units with their start-up and shut-down routines, in start-up order.
const struct PackageInfoTable* GetPackageInfoTable(void);

#ifdef __cplusplus
}
#endif
