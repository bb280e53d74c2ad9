// "/vb.htm": production and service options given in the query string
// ("softversion", "decode=1&hotplug=0", "chipupdate=N123456", ...).
#pragma once

void on_cgi_http_option(const char *req);

// Reads the board's chip text with the chip tool into buf (64 bytes).
// 0, or -1 when the tool printed no "Read old:" line.
int cgi_read_chip_info(char *buf, int size);
