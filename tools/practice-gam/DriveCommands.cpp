// gam <users> print filelist / info drivefile / show fileinfo / delete|trash|purge drivefile /
// create drivefolderpath / create drivefile
#include "Context.h"
#include "Queries.h"
#include "Seed.h"

#include <QFileInfo>
#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

const QString folderMime = u"application/vnd.google-apps.folder"_s;

// Field keywords of print filelist and the API field each one means.
const QHash<QString, QString> fieldNames = {
    {u"id"_s, u"id"_s},
    {u"name"_s, u"name"_s},
    {u"title"_s, u"name"_s},
    {u"mimetype"_s, u"mimeType"_s},
    {u"size"_s, u"size"_s},
    {u"modifiedtime"_s, u"modifiedTime"_s},
    {u"modifieddate"_s, u"modifiedTime"_s},
    {u"createdtime"_s, u"createdTime"_s},
    {u"owners"_s, u"owners"_s},
    {u"owners.emailaddress"_s, u"owners.emailAddress"_s},
    {u"permissions"_s, u"permissions"_s},
    {u"shared"_s, u"shared"_s},
    {u"webviewlink"_s, u"webViewLink"_s},
    {u"alternatelink"_s, u"webViewLink"_s},
    {u"trashed"_s, u"trashed"_s},
    {u"teamdriveid"_s, u"driveId"_s},
    {u"shareddriveid"_s, u"driveId"_s},
    {u"driveid"_s, u"driveId"_s},
    {u"parents"_s, u"parents"_s},
};

QJsonArray ownersOf(const QJsonObject &file, const QString &me) {
    const QString owner = file.value(u"owner"_s).toString();
    return QJsonArray{
        QJsonObject{{u"displayName"_s, file.value(u"ownerName"_s).toString(owner.section(u'@', 0, 0))},
                    {u"emailAddress"_s, owner},
                    {u"me"_s, owner.compare(me, Qt::CaseInsensitive) == 0},
                    {u"permissionId"_s, QString(u"0"_s + QString::number(qHash(owner) % 100000000000ULL))}}};
}

QJsonArray permissionsOf(const QJsonObject &file, const QString &domain) {
    const QString owner = file.value(u"owner"_s).toString();
    QJsonArray permissions{QJsonObject{{u"deleted"_s, false},
                                       {u"displayName"_s, file.value(u"ownerName"_s).toString()},
                                       {u"emailAddress"_s, owner},
                                       {u"id"_s, QString::number(qHash(owner) % 100000000000ULL)},
                                       {u"pendingOwner"_s, false},
                                       {u"role"_s, u"owner"_s},
                                       {u"type"_s, u"user"_s}}};
    const QString visibility = file.value(u"visibility"_s).toString();
    if (visibility == u"anyoneWithLink"_s || visibility == u"anyoneCanFind"_s)
        permissions.append(QJsonObject{{u"allowFileDiscovery"_s, visibility == u"anyoneCanFind"_s},
                                       {u"id"_s, u"anyoneWithLink"_s},
                                       {u"role"_s, u"reader"_s},
                                       {u"type"_s, u"anyone"_s}});
    else if (visibility == u"domainWithLink"_s)
        permissions.append(QJsonObject{{u"allowFileDiscovery"_s, false},
                                       {u"domain"_s, domain},
                                       {u"id"_s, u"domainWithLink"_s},
                                       {u"role"_s, u"reader"_s},
                                       {u"type"_s, u"domain"_s}});
    else if (visibility == u"externalUsers"_s)
        permissions.append(QJsonObject{{u"deleted"_s, false},
                                       {u"emailAddress"_s, QLatin1StringView(Seeded::exfilAddress)},
                                       {u"id"_s, u"09876543210987654321"_s},
                                       {u"role"_s, u"writer"_s},
                                       {u"type"_s, u"user"_s}});
    return permissions;
}

// The file's value for one API field, as GAM flattens it into columns.
void addField(CsvRow &row, const QJsonObject &file, const QString &field, const QString &me, const QString &domain) {
    if (field == u"owners"_s)
        flattenInto(row, u"owners"_s, ownersOf(file, me));
    else if (field == u"owners.emailAddress"_s) {
        QJsonArray owners;
        for (const QJsonValue &o : ownersOf(file, me))
            owners.append(QJsonObject{{u"emailAddress"_s, o.toObject().value(u"emailAddress"_s)}});
        flattenInto(row, u"owners"_s, owners);
    } else if (field == u"permissions"_s)
        flattenInto(row, u"permissions"_s, permissionsOf(file, domain));
    else if (field == u"shared"_s)
        row.insert(field, file.value(u"visibility"_s).toString() != u"private"_s ? u"True"_s : u"False"_s);
    else if (field == u"trashed"_s)
        row.insert(field, cellText(file.value(u"trashed"_s)));
    else if (field == u"createdTime"_s)
        row.insert(field, file.value(u"modifiedTime"_s).toString());
    else if (field == u"parents"_s)
        flattenInto(row, u"parents"_s, QJsonArray{file.value(u"parent"_s).toString(u"0AMyDriveRoot"_s)});
    else
        row.insert(field, file.value(field).toString());
}

// A file the user can reach: one they own, or one on a shared drive.
qsizetype findFile(Store &store, const QString &id, const QString &user) {
    const QJsonArray &files = store.array(u"files"_s);
    for (qsizetype k = 0; k < files.size(); ++k) {
        const QJsonObject file = files.at(k).toObject();
        if (file.value(u"id"_s).toString() == id &&
            (!file.value(u"driveId"_s).toString().isEmpty() ||
             file.value(u"owner"_s).toString().compare(user, Qt::CaseInsensitive) == 0))
            return k;
    }
    return -1;
}

QString entityWord(const QJsonObject &file) {
    const QString mime = file.value(u"mimeType"_s).toString();
    if (mime == folderMime)
        return u"Drive Folder"_s;
    if (mime == u"application/vnd.google-apps.shortcut"_s)
        return u"Drive File Shortcut"_s;
    return u"Drive File"_s;
}

bool sharedDriveExists(Store &store, const QString &id) {
    for (const QJsonValue &drive : store.array(u"sharedDrives"_s))
        if (drive.toObject().value(u"id"_s).toString() == id)
            return true;
    return false;
}

QJsonObject newItem(Context &ctx, const QString &user, const QString &name, const QString &mime, const QString &parent,
                    const QString &driveId) {
    const QString id = ctx.store.newId(u"1P"_s, 33);
    QJsonObject item{{u"id"_s, id},
                     {u"name"_s, name},
                     {u"mimeType"_s, mime},
                     {u"modifiedTime"_s, ctx.nowIso()},
                     {u"owner"_s, user},
                     {u"trashed"_s, false},
                     {u"visibility"_s, u"private"_s},
                     {u"parent"_s, parent},
                     {u"webViewLink"_s, QString(u"https://drive.google.com/file/d/"_s + id + u"/view"_s)}};
    if (!driveId.isEmpty())
        item[u"driveId"_s] = driveId;
    return item;
}

// The shared drive a parent (a shared drive ID or a folder ID) belongs to; empty with ok=false when unknown.
QString driveOfParent(Store &store, const QString &parent, bool *ok) {
    *ok = true;
    if (sharedDriveExists(store, parent))
        return parent;
    for (const QJsonValue &value : store.array(u"files"_s)) {
        const QJsonObject file = value.toObject();
        if (file.value(u"id"_s).toString() == parent && file.value(u"mimeType"_s).toString() == folderMime)
            return file.value(u"driveId"_s).toString();
    }
    *ok = false;
    return QString();
}

UserCommand printFileList(Context &ctx, Args &args) {
    struct Options {
        QString query, fullQuery, driveId;
        QStringList fields;
        int maxFiles = 0;
        bool excludeTrashed = false;
        QString ownedBy = u"me"_s;
    };
    auto o = std::make_shared<Options>();
    while (!args.atEnd()) {
        const QString kw = args.peekKeyword();
        if (args.take(u"query"_s)) {
            const QString q = args.next(u"<QueryDriveFile>"_s);
            o->query = o->query.isEmpty() ? q : o->query + u" and "_s + q;
        } else if (args.take(u"fullquery"_s)) {
            o->fullQuery = args.next(u"<QueryDriveFile>"_s);
        } else if (args.take(u"select"_s)) {
            // <SharedDriveIDEntity>: teamdriveid|shareddriveid ID, or the same joined by a colon.
            const QString entity = args.peek();
            const qsizetype colon = entity.indexOf(u':');
            const QString selector = keyword(entity.left(colon));
            if (colon > 0 && (selector == u"teamdriveid"_s || selector == u"shareddriveid"_s)) {
                args.next(QString());
                o->driveId = entity.mid(colon + 1);
            } else {
                args.nextChoice({u"teamdriveid"_s, u"shareddriveid"_s});
                o->driveId = args.next(u"<SharedDriveID>"_s);
            }
            if (args.take(u"shareddrivequery"_s) || args.take(u"teamdrivequery"_s)) {
                const QString q = args.next(u"<QueryDriveFile>"_s);
                o->query = o->query.isEmpty() ? q : o->query + u" and "_s + q;
            }
        } else if (args.take(u"fields"_s)) {
            const QStringList names = args.next(u"<DriveFieldNameList>"_s).split(u',', Qt::SkipEmptyParts);
            for (const QString &name : names) {
                const QString field = fieldNames.value(keyword(name.trimmed()));
                if (field.isEmpty())
                    throw UsageError{u"Invalid choice ("_s + name + u"): Expected <"_s + fieldNames.keys().join(u'|') +
                                         u'>',
                                     args.pos() - 1};
                if (!o->fields.contains(field))
                    o->fields.append(field);
            }
        } else if (args.take(u"maxfiles"_s)) {
            o->maxFiles = args.nextInt(u"<Number>"_s);
        } else if (args.take(u"excludetrashed"_s)) {
            o->excludeTrashed = true;
        } else if (args.take(u"showownedby"_s)) {
            o->ownedBy = args.nextChoice({u"any"_s, u"me"_s, u"others"_s});
        } else if (fieldNames.contains(kw)) {
            // A bare field name adds that column: "teamdriveid" is one, not a shared-drive selector.
            args.next(QString());
            if (!o->fields.contains(fieldNames.value(kw)))
                o->fields.append(fieldNames.value(kw));
        } else {
            args.unknown();
        }
    }
    if (o->fields.isEmpty())
        o->fields = {u"id"_s, u"name"_s, u"webViewLink"_s};
    ctx.table.sortTitles = {u"Owner"_s, u"id"_s, u"name"_s};
    CsvTable nodata;
    nodata.sortTitles = ctx.table.sortTitles;
    CsvRow titles{{u"Owner"_s, QString()}};
    for (const QString &field : std::as_const(o->fields))
        if (!field.startsWith(u"owners"_s) && field != u"permissions"_s && field != u"parents"_s)
            titles.insert(field, QString());
    nodata.rows.append(titles);
    ctx.table.nodataTitles = nodata.header();
    auto total = std::make_shared<qsizetype>(0);
    return {
        [&ctx, o, total](const QString &user, qsizetype i, qsizetype n) {
            Output &out = ctx.out;
            if (ctx.rateLimited(i)) {
                out.err(u"User: "_s + user +
                        u", Drive Files/Folders, Print Failed: Rate Limit Exceeded: User rate "
                        u"limit exceeded."_s +
                        counter(i, n));
                out.setRC(50);
                return;
            }
            QString query;
            if (!o->fullQuery.isEmpty())
                query = o->fullQuery;
            else if (!o->driveId.isEmpty() || o->ownedBy == u"any"_s)
                query = o->query.isEmpty() ? QString() : u'(' + o->query + u')';
            else {
                query = o->ownedBy == u"me"_s ? u"'me' in owners"_s : u"not 'me' in owners"_s;
                if (!o->query.isEmpty())
                    query += u" and ("_s + o->query + u')';
            }
            const auto predicate =
                parseDriveQuery(query.isEmpty() ? u"trashed = false or trashed = true"_s : query, user);
            if (!predicate) {
                out.err(u"User: "_s + user + u", Drive Files/Folders, Print Failed: Invalid Value"_s + counter(i, n));
                out.setRC(50);
                return;
            }
            const QString matchText = query.isEmpty() ? QString() : u" that match query ("_s + query + u')';
            const QString matchedText = query.isEmpty() ? QString() : u" that matched query ("_s + query + u')';
            const QString where = o->driveId.isEmpty() ? QString() : u" on Shared Drive ID: "_s + o->driveId;
            if (!o->driveId.isEmpty() && !sharedDriveExists(ctx.store, o->driveId)) {
                out.err(u"User: "_s + user + u", Shared Drive ID: "_s + o->driveId + u", Does not exist"_s +
                        counter(i, n));
                out.setRC(56);
                return;
            }
            const QJsonArray &files = ctx.store.array(u"files"_s);
            QList<qsizetype> candidates;
            if (o->driveId.isEmpty() && o->ownedBy == u"me"_s && o->fullQuery.isEmpty())
                candidates = ctx.store.filesOwnedBy(user);
            else
                for (qsizetype k = 0; k < files.size(); ++k)
                    candidates.append(k);
            QList<CsvRow> rows;
            for (qsizetype k : std::as_const(candidates)) {
                const QJsonObject file = files.at(k).toObject();
                if (file.value(u"driveId"_s).toString() != o->driveId)
                    continue;
                if (o->excludeTrashed && file.value(u"trashed"_s).toBool())
                    continue;
                if (!(*predicate)(file))
                    continue;
                CsvRow row{{u"Owner"_s, user}};
                for (const QString &field : std::as_const(o->fields))
                    addField(row, file, field, user, ctx.store.domain());
                rows.append(row);
                if (o->maxFiles > 0 && rows.size() >= o->maxFiles)
                    break;
            }
            ctx.gettingGot(u"Getting all Drive Files/Folders"_s + matchText + u" for "_s + user + where + counter(i, n),
                           rows.size(), 1000, [&](qsizetype k) -> QString {
                               return u"Got "_s + QString::number(k) + u" Drive Files/Folders"_s + matchedText +
                                      u" for "_s + user + where + u"..."_s;
                           });
            ctx.table.rows += rows;
            *total += rows.size();
            if (i == n && *total == 0)
                out.setRC(60);
        },
        true};
}

UserCommand showFileInfo(Context &ctx, Args &args, bool info) {
    const QStringList ids = args.next(u"<DriveFileEntity>"_s).split(u',', Qt::SkipEmptyParts);
    auto fields = std::make_shared<QStringList>();
    bool returnIdOnly = false;
    while (!args.atEnd()) {
        if (args.take(u"fields"_s)) {
            const QStringList names = args.next(u"<DriveFieldNameList>"_s).split(u',', Qt::SkipEmptyParts);
            for (const QString &name : names)
                fields->append(fieldNames.value(keyword(name), name));
        } else if (args.take(u"returnidonly"_s)) {
            returnIdOnly = true;
        } else if (fieldNames.contains(args.peekKeyword())) {
            fields->append(fieldNames.value(keyword(args.next(QString()))));
        } else {
            args.unknown();
        }
    }
    const QString action = info ? u"Show Info"_s : u"Show"_s;
    return {[&ctx, ids, fields, returnIdOnly, action](const QString &user, qsizetype, qsizetype) {
                Output &out = ctx.out;
                QList<QJsonObject> found;
                for (const QString &id : ids) {
                    const qsizetype k = findFile(ctx.store, id, user);
                    if (k < 0) {
                        out.err(u"  User: "_s + user + u", Drive File/Folder ID: "_s + id + u", "_s + action +
                                u" Failed: File not found: "_s + id + u'.');
                        out.setRC(50);
                        continue;
                    }
                    found.append(ctx.store.array(u"files"_s).at(k).toObject());
                }
                if (found.isEmpty())
                    return;
                if (returnIdOnly) {
                    for (const QJsonObject &file : std::as_const(found))
                        out.out(file.value(u"id"_s).toString());
                    return;
                }
                out.out(u"User: "_s + user + u", "_s + action + u' ' + QString::number(found.size()) +
                        (found.size() == 1 ? u" Drive File/Folder"_s : u" Drive Files/Folders"_s));
                for (qsizetype k = 0; k < found.size(); ++k) {
                    const QJsonObject &file = found.at(k);
                    const QString label =
                        file.value(u"name"_s).toString() + u" ("_s + file.value(u"id"_s).toString() + u")"_s;
                    out.out(QString(u"  "_s + entityWord(file)) + u": "_s + label + counter(k + 1, found.size()));
                    QStringList wanted = *fields;
                    if (wanted.isEmpty())
                        wanted = {u"id"_s,      u"name"_s,   u"mimeType"_s, u"size"_s,        u"modifiedTime"_s,
                                  u"trashed"_s, u"shared"_s, u"driveId"_s,  u"webViewLink"_s, u"owners"_s};
                    for (const QString &field : std::as_const(wanted)) {
                        CsvRow values;
                        addField(values, file, field, user, ctx.store.domain());
                        if (field == u"owners"_s) {
                            out.out(u"    owners:"_s);
                            out.out(u"      emailAddress: "_s + file.value(u"owner"_s).toString());
                        } else if (values.contains(field) && !(field == u"size"_s && values.value(field).isEmpty()) &&
                                   !(field == u"driveId"_s && values.value(field).isEmpty())) {
                            out.out(u"    "_s + field + u": "_s + values.value(field));
                        }
                    }
                }
            },
            false};
}

UserCommand removeFiles(Context &ctx, Args &args, bool purge) {
    const QStringList ids = args.next(u"<DriveFileEntity>"_s).split(u',', Qt::SkipEmptyParts);
    while (!args.atEnd()) {
        if (args.take(u"purge"_s))
            purge = true;
        else if (args.take(u"trash"_s))
            purge = false;
        else
            args.unknown();
    }
    return {[&ctx, ids, purge](const QString &user, qsizetype, qsizetype) {
                Output &out = ctx.out;
                const qsizetype n = ids.size();
                const QString verb = purge ? u"Purge"_s : u"Trash"_s;
                out.out(u"User: "_s + user + u", "_s + verb + u' ' + QString::number(n) +
                        (n == 1 ? u" Drive File/Folder"_s : u" Drive Files/Folders"_s));
                for (qsizetype i = 0; i < n; ++i) {
                    const QString &id = ids.at(i);
                    const qsizetype k = findFile(ctx.store, id, user);
                    if (k < 0) {
                        out.err(u"  User: "_s + user + u", Drive File/Folder ID: "_s + id + u", "_s + verb +
                                u" Failed: File not found: "_s + id + u'.' + counter(i + 1, n));
                        out.setRC(50);
                        continue;
                    }
                    QJsonArray &files = ctx.store.array(u"files"_s);
                    QJsonObject file = files.at(k).toObject();
                    if (purge) {
                        files.removeAt(k);
                        out.out(u"  User: "_s + user + u", Drive File/Folder: "_s + id + u", Purged"_s +
                                counter(i + 1, n));
                    } else {
                        file[u"trashed"_s] = true;
                        files.replace(k, file);
                        out.out(u"  User: "_s + user + u", Drive File/Folder: "_s + file.value(u"name"_s).toString() +
                                u", Trashed"_s + counter(i + 1, n));
                    }
                    ctx.store.invalidateFileIndex();
                    ctx.store.markDirty();
                }
            },
            false};
}

UserCommand createFolderPath(Context &ctx, Args &args) {
    QString path, parent;
    bool returnIdOnly = false;
    while (!args.atEnd()) {
        if (args.take(u"path"_s))
            path = args.next(u"<FolderPath>"_s);
        else if (args.take(u"teamdriveparentid"_s) || args.take(u"shareddriveparentid"_s) || args.take(u"parentid"_s))
            parent = args.next(u"<DriveFolderID>"_s);
        else if (args.take(u"returnidonly"_s))
            returnIdOnly = true;
        else
            args.unknown();
    }
    if (path.isEmpty())
        args.missing(u"path <FolderPath>"_s);
    return {[&ctx, path, parent, returnIdOnly](const QString &user, qsizetype, qsizetype) {
                Output &out = ctx.out;
                const QStringList names = path.split(u'/', Qt::SkipEmptyParts);
                bool ok = true;
                const QString driveId = parent.isEmpty() ? QString() : driveOfParent(ctx.store, parent, &ok);
                if (!ok || names.isEmpty()) {
                    out.err(u"User: "_s + user + u", Drive Folder: "_s + names.value(0, path) +
                            u", Create Failed: Create Folder: File not found: "_s + parent + u'.');
                    out.setRC(50);
                    return;
                }
                if (!returnIdOnly)
                    out.out(u"User: "_s + user + u", Drive Folder Path:, Create"_s);
                QString current = parent.isEmpty() ? u"0AMyDriveRoot"_s : parent;
                QJsonArray &files = ctx.store.array(u"files"_s);
                for (qsizetype k = 0; k < names.size(); ++k) {
                    QString existing;
                    for (const QJsonValue &value : std::as_const(files)) {
                        const QJsonObject f = value.toObject();
                        if (f.value(u"mimeType"_s).toString() == folderMime &&
                            f.value(u"parent"_s).toString() == current &&
                            f.value(u"name"_s).toString() == names.at(k) && !f.value(u"trashed"_s).toBool()) {
                            existing = f.value(u"id"_s).toString();
                            break;
                        }
                    }
                    const bool created = existing.isEmpty();
                    if (created) {
                        const QJsonObject folder = newItem(ctx, user, names.at(k), folderMime, current, driveId);
                        existing = folder.value(u"id"_s).toString();
                        files.append(folder);
                        ctx.store.markDirty();
                        ctx.store.invalidateFileIndex();
                    }
                    if (!returnIdOnly)
                        out.out(u"  User: "_s + user + u", Drive Folder Name: "_s + names.at(k) + u'(' + existing +
                                u"), "_s + (created ? u"Created"_s : u"Exists"_s) + counter(k + 1, names.size()));
                    current = existing;
                }
                if (returnIdOnly)
                    out.out(current);
            },
            false};
}

UserCommand createDriveFile(Context &ctx, Args &args) {
    QString local, name, parent;
    bool returnIdOnly = false;
    while (!args.atEnd()) {
        if (args.take(u"localfile"_s))
            local = args.next(u"<FileName>"_s);
        else if (args.take(u"drivefilename"_s) || args.take(u"title"_s))
            name = args.next(u"<DriveFileName>"_s);
        else if (args.take(u"parentid"_s) || args.take(u"teamdriveparentid"_s) || args.take(u"shareddriveparentid"_s))
            parent = args.next(u"<DriveFolderID>"_s);
        else if (args.take(u"returnidonly"_s))
            returnIdOnly = true;
        else
            args.unknown();
    }
    return {[&ctx, local, name, parent, returnIdOnly](const QString &user, qsizetype, qsizetype) {
                Output &out = ctx.out;
                const QFileInfo info(local);
                const QString fileName = name.isEmpty() ? info.fileName() : name;
                bool ok = true;
                const QString driveId = parent.isEmpty() ? QString() : driveOfParent(ctx.store, parent, &ok);
                QString problem;
                if (!local.isEmpty() && !info.isFile())
                    problem = u"Local File: "_s + local + u", Does not exist"_s;
                else if (!ok)
                    problem = u"File not found: "_s + parent + u'.';
                if (!problem.isEmpty()) {
                    out.err(u"User: "_s + user + u", Drive File: "_s + fileName + u", Create Failed: "_s + problem);
                    out.setRC(50);
                    return;
                }
                const QString suffix = info.suffix().toLower();
                const QString mime = suffix == u"csv"_s   ? u"text/csv"_s
                                     : suffix == u"txt"_s ? u"text/plain"_s
                                     : suffix == u"pdf"_s ? u"application/pdf"_s
                                                          : u"application/octet-stream"_s;
                QJsonObject file =
                    newItem(ctx, user, fileName, mime, parent.isEmpty() ? u"0AMyDriveRoot"_s : parent, driveId);
                file[u"size"_s] = QString::number(local.isEmpty() ? 0 : info.size());
                ctx.store.array(u"files"_s).append(file);
                ctx.store.markDirty();
                ctx.store.invalidateFileIndex();
                const QString id = file.value(u"id"_s).toString();
                if (returnIdOnly)
                    out.out(id);
                else
                    out.out(u"User: "_s + user + u", Drive File: "_s + fileName + u'(' + id +
                            u"), Created with content from: "_s + local);
            },
            false};
}

} // namespace

UserCommand driveCommand(Context &ctx, Args &args, const QString &verb, const QString &object) {
    if (verb == u"print"_s && object == u"filelist"_s)
        return printFileList(ctx, args);
    if (verb == u"info"_s && object == u"drivefile"_s)
        return showFileInfo(ctx, args, true);
    if (verb == u"show"_s && object == u"fileinfo"_s)
        return showFileInfo(ctx, args, false);
    if ((verb == u"delete"_s || verb == u"trash"_s) && object == u"drivefile"_s)
        return removeFiles(ctx, args, false);
    if (verb == u"purge"_s && object == u"drivefile"_s)
        return removeFiles(ctx, args, true);
    if (verb == u"create"_s && object == u"drivefolderpath"_s)
        return createFolderPath(ctx, args);
    if (verb == u"create"_s && object == u"drivefile"_s)
        return createDriveFile(ctx, args);
    return {};
}
