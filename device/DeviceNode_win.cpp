#include "DeviceNode.h"

bool DeviceNode::lingers(const char *)
{
    // hidapi's Windows paths are interface names; its open has no such fault.
    return false;
}
