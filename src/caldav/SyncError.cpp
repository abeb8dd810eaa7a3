#include "caldav/SyncError.h"

namespace {

SyncError make(SyncError::Kind kind, const QString &message, int httpStatus = 0)
{
    SyncError error;
    error.kind = kind;
    error.message = message;
    error.httpStatus = httpStatus;
    return error;
}

} // namespace

SyncError SyncError::offline(const QString &host)
{
    return make(Kind::Offline, QStringLiteral("Sin conexión con %1").arg(host));
}

SyncError SyncError::busy(int httpStatus, std::optional<int> retryAfter)
{
    SyncError error = make(Kind::ServerBusy, QStringLiteral("El servidor no responde"), httpStatus);
    if (retryAfter) {
        error.retryAfter = retryAfter;
        error.message += QStringLiteral(" (reintento en %1 s)").arg(*retryAfter);
    }
    return error;
}

SyncError SyncError::authFailed(int httpStatus)
{
    return make(Kind::AuthFailed, QStringLiteral("Usuario o contraseña incorrectos"), httpStatus);
}

SyncError SyncError::conflict()
{
    return make(Kind::Conflict, QStringLiteral("La tarea cambió en el servidor"), 412);
}

SyncError SyncError::badResponse(int httpStatus)
{
    return make(Kind::BadResponse, QStringLiteral("Respuesta no válida del servidor"), httpStatus);
}

SyncError SyncError::tlsUntrusted(const QString &fingerprint)
{
    SyncError error = make(Kind::TlsUntrusted, QStringLiteral("Certificado no válido"));
    error.fingerprint = fingerprint;
    return error;
}

SyncError SyncError::refused(const QString &message)
{
    return make(Kind::Refused, message);
}

SyncError SyncError::fromStatus(int httpStatus, std::optional<int> retryAfter)
{
    if (httpStatus >= 200 && httpStatus < 300)
        return {};
    if (httpStatus == 401 || httpStatus == 403)
        return authFailed(httpStatus);
    if (httpStatus == 412)
        return conflict();
    if (httpStatus == 429 || httpStatus >= 500)
        return busy(httpStatus, retryAfter);
    return badResponse(httpStatus);
}
