// Named store calls: cameras, their OSD names and privacy masks, camera
// protocols and models.
#include <cstdlib>

#include "outside/qxdb.h"
#include "outside/qxdb_store.h"

namespace {

int32_t status(int rc)
{
    return rc < 0 ? -1 : 0;
}

} // namespace

int32_t read_camera(const char *path, CameraRecord *camera, int32_t chn)
{
    return status(qxdb::read(path, qxdb::kCamera, chn, camera));
}

int32_t read_cameras(const char *path, CameraRecord *cameras, int32_t capacity, int32_t *count)
{
    return status(qxdb::read_all(path, qxdb::kCamera, cameras, capacity, count));
}

int32_t write_camera(const char *path, const CameraRecord *camera)
{
    return status(qxdb::write(path, qxdb::kCamera, camera));
}

int32_t write_camera_ip(const char *path, int32_t chn, const char *ip)
{
    if (!ip)
        return -1;
    CameraRecord cam;
    if (qxdb::read(path, qxdb::kCamera, chn, &cam) < 0)
        return -1;
    copy_text(cam.ip_addr, ip);
    return status(qxdb::write(path, qxdb::kCamera, &cam));
}

int32_t read_osd(const char *path, OsdRecord *osd, int32_t chn)
{
    return status(qxdb::read(path, qxdb::kOsd, chn, osd));
}

int32_t write_osd(const char *path, const OsdRecord *osd)
{
    return status(qxdb::write(path, qxdb::kOsd, osd));
}

int32_t read_osd_name(const char *path, int32_t chn, char *name, int32_t size)
{
    if (!name || size <= 0)
        return -1;
    name[0] = '\0';
    OsdRecord osd;
    if (qxdb::read(path, qxdb::kOsd, chn, &osd) < 0)
        return -1;
    size_t n = field_len(osd.name);
    if (n > static_cast<size_t>(size) - 1)
        n = static_cast<size_t>(size) - 1;
    memcpy(name, osd.name, n);
    name[n] = '\0';
    return 0;
}

int32_t read_privacy_mask(const char *path, PrivacyMaskRecord *mask, int32_t chn)
{
    return status(qxdb::read(path, qxdb::kPrivacyMask, chn, mask));
}

int32_t write_privacy_mask(const char *path, const PrivacyMaskRecord *mask)
{
    return status(qxdb::write(path, qxdb::kPrivacyMask, mask));
}

int32_t read_ipc_protocols(const char *path, IpcProtocolRecord *protocols, int32_t capacity, int32_t *count)
{
    return status(qxdb::read_all(path, qxdb::kIpcProtocol, protocols, capacity, count));
}

int32_t write_ipc_protocol(const char *path, const IpcProtocolRecord *protocol)
{
    return status(qxdb::write(path, qxdb::kIpcProtocol, protocol));
}

int32_t read_ipc_model(const char *path, IpcModelRecord *model, int32_t id)
{
    return status(qxdb::read(path, qxdb::kIpcModel, id, model));
}

int32_t read_ipc_models_by_protocol(const char *path, int32_t protocol, IpcModelRecord *models, int32_t capacity,
                                    int32_t *count)
{
    if (!models || !count || capacity < 0)
        return -1;
    *count = 0;
    IpcModelRecord *all = static_cast<IpcModelRecord *>(calloc(QXDB_MAX_IPC_MODELS, sizeof *all));
    if (!all)
        return -1;
    int32_t n = 0;
    int rc = qxdb::read_all(path, qxdb::kIpcModel, all, QXDB_MAX_IPC_MODELS, &n);
    for (int32_t i = 0; rc >= 0 && i < n && i < QXDB_MAX_IPC_MODELS && *count < capacity; i++)
        if (all[i].protocol == protocol)
            models[(*count)++] = all[i];
    free(all);
    return status(rc);
}

int32_t write_ipc_model(const char *path, const IpcModelRecord *model)
{
    return status(qxdb::write(path, qxdb::kIpcModel, model));
}
