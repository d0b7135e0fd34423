#include "UdevDetails.h"

#if TALVERN_HAVE_LIBUDEV
#include <libudev.h>

#include <sstream>
#endif

namespace talvern::serial {

#if TALVERN_HAVE_LIBUDEV
namespace {

std::string property(udev_device* device, const char* name) {
    const char* value = udev_device_get_property_value(device, name);
    return value != nullptr ? value : "";
}

// ID_MODEL and ID_VENDOR stand blanks in as '_'; the database names have their own blanks.
std::string readable(std::string text) {
    for (char& c : text)
        if (c == '_')
            c = ' ';
    return text;
}

void setIfKnown(std::string& field, const std::string& value) {
    if (!value.empty())
        field = value;
}

} // namespace

void AddUdevDetails(const std::string& ttyName, DeviceDetails& details) {
    udev* context = udev_new();
    if (context == nullptr)
        return;
    if (udev_device* device = udev_device_new_from_subsystem_sysname(context, "tty", ttyName.c_str())) {
        std::string model = property(device, "ID_MODEL_FROM_DATABASE");
        if (model.empty())
            model = readable(property(device, "ID_MODEL"));
        std::string vendor = property(device, "ID_VENDOR_FROM_DATABASE");
        if (vendor.empty())
            vendor = readable(property(device, "ID_VENDOR"));
        setIfKnown(details.Description, model);
        setIfKnown(details.Manufacturer, vendor);
        setIfKnown(details.SerialNumber, property(device, "ID_SERIAL_SHORT"));
        setIfKnown(details.Driver, property(device, "ID_USB_DRIVER"));
        const std::string vendorId = property(device, "ID_VENDOR_ID");
        const std::string modelId = property(device, "ID_MODEL_ID");
        if (!vendorId.empty() && !modelId.empty())
            details.UsbId = vendorId + ":" + modelId;
        std::istringstream links(property(device, "DEVLINKS"));
        for (std::string link; links >> link;) {
            if (link.rfind("/dev/serial/by-id/", 0) == 0) {
                details.ByIdLink = link;
                break;
            }
        }
        udev_device_unref(device);
    }
    udev_unref(context);
}
#else
void AddUdevDetails(const std::string&, DeviceDetails&) {}
#endif

} // namespace talvern::serial
