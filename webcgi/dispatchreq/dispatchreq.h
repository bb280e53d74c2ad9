// The route table: URL path -> route handler.
#pragma once

#include <cstdint>

enum { MAX_WEBREQ_COUNT = 512, WEBRES_PATH_SIZE = 8 };

typedef void (*WebResHandler)(const char *req);

// One route row: a path of at most 7 characters and its handler.
struct WebRes {
    char path[WEBRES_PATH_SIZE];
    WebResHandler handler;
};

int WebResRegister(const WebRes *rows, int count);
int WebResUnregister(const WebRes *rows, int count);
const WebRes *FindWebRes(const char *path);
void DispatchWebReq(const char *path, const char *req);

// Rows in use, and the row in slot i (nullptr when free); for listings and tests.
int WebResCount();
const WebRes *WebResSlot(int i);
