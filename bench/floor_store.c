/* A minimal CGI program that does what every route does at least once:
 * open the SQLite config store, read one value, answer with a json-c object. */
#include <json-c/json.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>

int main(void)
{
    const char *root = getenv("NVR_ROOT");
    char path[4096];
    snprintf(path, sizeof path, "%s/mnt/nand/app/qxdb.db", root ? root : "");
    sqlite3 *db = NULL;
    json_object *answer = json_object_new_object();
    if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, NULL) == SQLITE_OK) {
        sqlite3_stmt *st = NULL;
        if (sqlite3_prepare_v2(db, "SELECT value FROM params WHERE name = 'model'", -1, &st, NULL) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            json_object_object_add(answer, "model",
                                   json_object_new_string((const char *)sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    json_object_object_add(answer, "status", json_object_new_int(0));
    printf("Content-type: application/json\r\n\r\n%s", json_object_to_json_string(answer));
    json_object_put(answer);
    return 0;
}
