#include <gtest/gtest.h>

#include "host/components/host_settings.h"
#include "host/loader/package_host.h"
#include "host/toolkit/application.h"
#include "host/toolkit/headless_dialogs.h"
#include "package/module/pkg_mag04200.h"

namespace {

TEST(PackageHost, LoadsThePackageOpensItsScreenAndUnloadsIt) {
  tk::HeadlessDialogs dialogs;
  comp::Settings().Clear();
  {
    host::PackageHost host(dialogs);
    host.Load(MAG_PACKAGE_PATH);
    host.IniProc();
    host.IniProc();
    ASSERT_EQ(tk::Application().Forms().size(), 1u);
    EXPECT_EQ(tk::Application().Forms()[0]->Caption(), "Arquivo Magnético - Sintegra");
    const PackageInfoTable* table = host.package().Entry<const PackageInfoTable*()>("GetPackageInfoTable")();
    ASSERT_EQ(table->unit_count, 1);
    EXPECT_STREQ(table->units[0].unit_name, "Cli_mag04200");
    host.Unload();
    EXPECT_TRUE(tk::Application().Forms().empty());
    EXPECT_FALSE(host.Loaded());
  }
  // Without a transport the connection stays closed silently: no dialog.
  EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST(PackageHost, ReportsWhichFileOrSymbolFailed) {
  tk::HeadlessDialogs dialogs;
  host::PackageHost host(dialogs);
  try {
    host.Load("/nonexistent/Pkg_mag04200.so");
    FAIL();
  } catch (const host::PackageLoadError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/Pkg_mag04200.so"), std::string::npos);
  }
  host::Package package(MAG_PACKAGE_PATH);
  try {
    package.Symbol("NoSuchEntry");
    FAIL();
  } catch (const host::PackageLoadError& e) {
    EXPECT_NE(std::string(e.what()).find("NoSuchEntry"), std::string::npos);
  }
  EXPECT_THROW(host.IniProc(), host::PackageLoadError);
}

}  // namespace
