#pragma once
#include <string>

// A sysfs tree of USB devices in a temporary folder, set as IAP_SYSFS_ROOT
// while the object lives (POSIX). Laid out as Linux lays it out: each device
// under devices/, linked from bus/usb/devices/ with its interfaces listed
// beside it, and a root hub (usb1) that is no adapter.
class CFakeSysfs {
public:
    CFakeSysfs();
    ~CFakeSysfs();
    CFakeSysfs(const CFakeSysfs&) = delete;
    CFakeSysfs& operator=(const CFakeSysfs&) = delete;

    // Device strName ("1-1") with its ids ("1a86:7523") and product (none
    // when empty), and its interface <strName>:1.0 served by strDriver
    // (none when empty) with strTty below it (none when empty; a ttyACM
    // goes under tty/ as cdc_acm puts it).
    void AddDevice(const std::string& strName, const std::string& strIds, const std::string& strProduct,
                   const std::string& strDriver = {}, const std::string& strTty = {}) const;
    const std::string& GetPath() const { return m_strPath; }

private:
    std::string m_strPath;
};
