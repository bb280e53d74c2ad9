// Network facts of the recorder that pages ask about.
#pragma once

// 1 when an interface other than loopback holds an IPv6 address, else 0.
int net_is_haveipv6();
