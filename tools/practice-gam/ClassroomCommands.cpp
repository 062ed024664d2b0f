// gam print courses / delete course ID / course ID ...
#include "Context.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

const QStringList states = {u"ACTIVE"_s, u"ARCHIVED"_s, u"PROVISIONED"_s, u"DECLINED"_s, u"SUSPENDED"_s};

const QHash<QString, QString> courseFields = {
    {u"id"_s, u"id"_s},
    {u"name"_s, u"name"_s},
    {u"section"_s, u"section"_s},
    {u"coursestate"_s, u"courseState"_s},
    {u"state"_s, u"courseState"_s},
    {u"owneremail"_s, u"ownerEmail"_s},
    {u"ownerid"_s, u"ownerId"_s},
    {u"owner"_s, u"ownerId"_s},
    {u"creationtime"_s, u"creationTime"_s},
    {u"updatetime"_s, u"updateTime"_s},
};

QString courseValue(Context &ctx, const QJsonObject &course, const QString &field) {
    const QString ownerEmail = course.value(u"ownerEmail"_s).toString();
    if (field == u"ownerId"_s) {
        if (course.contains(u"ownerId"_s))
            return course.value(u"ownerId"_s).toString();
        const qsizetype index = ctx.store.userIndex(ownerEmail);
        return index < 0 ? QString() : ctx.store.user(index).value(u"id"_s).toString();
    }
    return course.value(field).toString();
}

void printCourses(Context &ctx, Args &args) {
    QString teacher, student;
    QStringList wantedStates;
    QStringList fields;
    while (!args.atEnd()) {
        if (args.take(u"teacher"_s))
            teacher = ctx.fullEmail(args.next(u"<UserItem>"_s));
        else if (args.take(u"student"_s))
            student = ctx.fullEmail(args.next(u"<UserItem>"_s));
        else if (args.take(u"states"_s) || args.take(u"state"_s) || args.take(u"status"_s)) {
            const QStringList list = args.next(u"<CourseStateList>"_s).toUpper().split(u',', Qt::SkipEmptyParts);
            for (const QString &state : list) {
                if (state == u"ALL"_s)
                    wantedStates = states;
                else if (!states.contains(state))
                    throw UsageError{u"Invalid choice ("_s + state + u"): Expected <"_s + states.join(u'|').toLower() +
                                         u"|all>"_s,
                                     args.pos() - 1};
                else
                    wantedStates.append(state);
            }
        } else if (args.take(u"fields"_s)) {
            const QStringList names = args.next(u"<CourseFieldNameList>"_s).split(u',', Qt::SkipEmptyParts);
            for (const QString &name : names) {
                const QString kw = keyword(name);
                if (!courseFields.contains(kw))
                    throw UsageError{u"Invalid choice ("_s + name + u"): Expected <"_s +
                                         courseFields.keys().join(u'|') + u'>',
                                     args.pos() - 1};
                fields.append(courseFields.value(kw));
                if (kw == u"owneremail"_s)
                    fields.append(u"ownerId"_s); // fetched to resolve the email, so printed too
            }
        } else
            args.unknown();
    }
    if (fields.isEmpty())
        fields = {u"id"_s, u"name"_s, u"section"_s, u"courseState"_s, u"ownerId"_s, u"creationTime"_s, u"updateTime"_s};
    fields.removeDuplicates();
    if (!teacher.isEmpty() && ctx.store.userIndex(teacher) < 0) {
        ctx.out.err(u"Teacher: "_s + teacher + u", Does not exist"_s);
        ctx.out.setRC(56);
        return;
    }
    QStringList query;
    if (!teacher.isEmpty())
        query.append(u"Teacher: "_s + teacher);
    if (!student.isEmpty())
        query.append(u"Student: "_s + student);
    if (!wantedStates.isEmpty())
        query.append(u"Course State: "_s + wantedStates.join(u','));
    CsvTable table;
    table.sortTitles = {u"id"_s,         u"name"_s,    u"section"_s,      u"courseState"_s,
                        u"ownerEmail"_s, u"ownerId"_s, u"creationTime"_s, u"updateTime"_s};
    table.nodataTitles = {u"id"_s};
    for (const QJsonValue &value : ctx.store.array(u"courses"_s)) {
        const QJsonObject course = value.toObject();
        if (!wantedStates.isEmpty() && !wantedStates.contains(course.value(u"courseState"_s).toString()))
            continue;
        if (!teacher.isEmpty() && !course.value(u"teachers"_s).toArray().contains(teacher))
            continue;
        if (!student.isEmpty())
            continue; // no student rosters in the practice domain
        CsvRow row;
        for (const QString &field : std::as_const(fields))
            row.insert(field, courseValue(ctx, course, field));
        table.rows.append(row);
    }
    ctx.gettingGot(u"Getting all Courses"_s +
                       (query.isEmpty() ? QString() : u" that match query ("_s + query.join(u", "_s) + u')') +
                       u", may take some time on a large Google Workspace Account..."_s,
                   table.rows.size(), 100,
                   [](qsizetype n) -> QString { return u"Got "_s + QString::number(n) + u" Courses..."_s; });
    ctx.out.csv(table);
}

void deleteCourses(Context &ctx, Args &args) {
    const QStringList ids = args.next(u"<CourseEntity>"_s).split(u',', Qt::SkipEmptyParts);
    bool archive = false;
    while (!args.atEnd()) {
        if (args.take(u"archive"_s) || args.take(u"archived"_s))
            archive = true;
        else
            args.unknown();
    }
    QJsonArray &courses = ctx.store.array(u"courses"_s);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        QString id = ids.at(i).trimmed();
        if (id.startsWith(u"d:"_s))
            id = id.mid(2);
        qsizetype found = -1;
        for (qsizetype k = 0; k < courses.size() && found < 0; ++k)
            if (courses.at(k).toObject().value(u"id"_s).toString() == id)
                found = k;
        const QString who = u"Course: "_s + id + u", "_s;
        if (found < 0) {
            ctx.out.err(who + u"Delete Failed: Requested entity was not found."_s + counter(i + 1, ids.size()));
            ctx.out.setRC(50);
            continue;
        }
        // An active course has to be archived before Classroom lets it go.
        if (courses.at(found).toObject().value(u"courseState"_s).toString() == u"ACTIVE"_s && !archive) {
            ctx.out.err(who + u"Delete Failed: Precondition check failed."_s + counter(i + 1, ids.size()));
            ctx.out.setRC(50);
            continue;
        }
        courses.removeAt(found);
        ctx.store.markDirty();
        ctx.out.out(who + u"Deleted"_s + counter(i + 1, ids.size()));
    }
}

} // namespace

bool classroomCommand(Context &ctx, Args &args) {
    const QString first = args.peekKeyword();
    const QString second = keyword(args.all().value(args.pos() + 1));
    if (first == u"print"_s && (second == u"courses"_s || second == u"course"_s)) {
        args.next(QString());
        args.next(QString());
        printCourses(ctx, args);
        return true;
    }
    if (first == u"delete"_s && (second == u"course"_s || second == u"courses"_s)) {
        args.next(QString());
        args.next(QString());
        deleteCourses(ctx, args);
        return true;
    }
    if (first == u"course"_s || first == u"courses"_s) {
        // "course ID delete" removes members from a course; it never deletes the course itself.
        args.next(QString());
        args.next(u"<CourseEntity>"_s);
        const QString action = args.nextChoice(
            {u"add"_s, u"create"_s, u"remove"_s, u"delete"_s, u"sync"_s, u"update"_s, u"clear"_s, u"info"_s});
        if (action == u"remove"_s || action == u"delete"_s || action == u"add"_s || action == u"create"_s ||
            action == u"sync"_s)
            args.nextChoice({u"alias"_s, u"student"_s, u"students"_s, u"teacher"_s, u"teachers"_s, u"topic"_s,
                             u"topics"_s, u"announcement"_s, u"announcements"_s});
        args.unknown(); // member changes are not part of the practice domain
    }
    return false;
}
