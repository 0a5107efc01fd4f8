#include "DeviceNode.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

bool DeviceNode::lingers(const char *path)
{
    const int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;   // hid_open_path fails cleanly on its own open
    int size = 0;
    const bool answers = ::ioctl(fd, HIDIOCGRDESCSIZE, &size) >= 0;
    ::close(fd);
    return !answers;
}
