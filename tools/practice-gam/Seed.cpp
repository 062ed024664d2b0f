#include "Seed.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <random>

using namespace Qt::StringLiterals;

namespace {

// Turns a string-builder expression into the QString a JSON value needs.
QString S(const QString &s) {
    return s;
}

const QStringList firstNames = {u"Avery"_s,  u"Blake"_s, u"Carmen"_s, u"Dakota"_s, u"Elena"_s,  u"Felix"_s, u"Grace"_s,
                                u"Hugo"_s,   u"Imani"_s, u"Jonah"_s,  u"Keiko"_s,  u"Liam"_s,   u"Maya"_s,  u"Noah"_s,
                                u"Olivia"_s, u"Priya"_s, u"Quinn"_s,  u"Rosa"_s,   u"Samir"_s,  u"Tessa"_s, u"Uma"_s,
                                u"Victor"_s, u"Wren"_s,  u"Xavier"_s, u"Yara"_s,   u"Zane"_s,   u"Amara"_s, u"Bruno"_s,
                                u"Chloe"_s,  u"Diego"_s, u"Esme"_s,   u"Farah"_s,  u"Gideon"_s, u"Hana"_s,  u"Isaac"_s,
                                u"Jade"_s,   u"Kofi"_s,  u"Lena"_s,   u"Mateo"_s,  u"Nina"_s};
const QStringList lastNames = {u"Abbott"_s, u"Barnes"_s,   u"Castillo"_s, u"Dawson"_s,  u"Eriksen"_s,  u"Fischer"_s,
                               u"Garcia"_s, u"Hayes"_s,    u"Ibarra"_s,   u"Jensen"_s,  u"Kowalski"_s, u"Lindqvist"_s,
                               u"Moreau"_s, u"Nakamura"_s, u"Okafor"_s,   u"Patel"_s,   u"Quispe"_s,   u"Romero"_s,
                               u"Sato"_s,   u"Thompson"_s, u"Umarov"_s,   u"Vasquez"_s, u"Whitaker"_s, u"Xu"_s,
                               u"Yilmaz"_s, u"Zimmer"_s,   u"Adeyemi"_s,  u"Brennan"_s, u"Chen"_s,     u"Delacroix"_s};
const QStringList subjects = {u"Algebra I"_s,  u"Biology"_s,    u"World History"_s, u"English 9"_s, u"Chemistry"_s,
                              u"Art Studio"_s, u"Spanish II"_s, u"Geometry"_s,      u"Physics"_s,   u"Music Theory"_s};
const QStringList courseStates = {u"ACTIVE"_s, u"ARCHIVED"_s, u"PROVISIONED"_s, u"DECLINED"_s, u"SUSPENDED"_s};

class District {
public:
    District(QString domain, int userCount, quint32 seed)
        : m_domain(std::move(domain))
        , m_students(u"students."_s + m_domain)
        , m_count(std::max(userCount, 12))
        , m_rng(seed)
        , m_now(QDateTime::currentDateTimeUtc()) {}

    QJsonObject build();

private:
    int pick(int n) { return int(m_rng() % quint32(n)); }
    bool chance(int percent) { return pick(100) < percent; }
    QString iso(const QDateTime &t) const { return t.toString(Qt::ISODate); }
    QDateTime daysAgo(int maxDays) { return m_now.addSecs(-qint64(pick(maxDays * 86400) + 3600)); }
    QString nextNumericId(int digits) {
        const QString n = QString::number(++m_serial);
        return u"1"_s + QString(digits - 1 - n.size(), u'0') + n;
    }
    QString hexId() { return QString::number(0x18e9fc0000000000ULL + quint64(++m_serial) * 7919ULL, 16); }
    QString fileId() {
        static const QString alphabet = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"_s;
        QString id = u"1P"_s;
        while (id.size() < 33)
            id += alphabet.at(pick(int(alphabet.size())));
        return id;
    }
    QString uniqueEmail(const QString &first, const QString &last, const QString &domain) {
        QString local = first.toLower() + u'.' + last.toLower();
        QString email = local + u'@' + domain;
        for (int n = 2; m_emails.contains(email); ++n)
            email = local + QString::number(n) + u'@' + domain;
        m_emails.insert(email);
        return email;
    }

    void addOrgs();
    QJsonObject makeUser(const QString &first, const QString &last, const QString &domain, const QString &ou);
    void addUsers();
    void addMail(QJsonObject &user, int index);
    void addFiles(const QJsonObject &user, int index);
    void addSharedDrives();
    void addCourses();
    void compromise(QJsonObject &user);
    void addLogins(const QJsonObject &user, int index);
    void addAlerts();
    QJsonObject loginEvent(const QString &email, const QString &userId, const QString &name, const QString &type,
                           const QDateTime &time, const QString &ip, QJsonObject params);
    QJsonObject driveEvent(const QString &email, const QString &name, const QDateTime &time, const QString &ip,
                           const QJsonObject &file);

    QString m_domain, m_students;
    int m_count;
    std::mt19937 m_rng;
    QDateTime m_now;
    quint64 m_serial = 4066776037;
    QString m_customerId;
    QSet<QString> m_emails;
    QJsonArray m_orgs, m_users, m_files, m_drives, m_courses, m_logins, m_driveEvents, m_alerts;
    QStringList m_teachers;
    QString m_admin, m_compromised;
};

void District::addOrgs() {
    auto add = [this](const QString &path, const QString &description) {
        const qsizetype slash = path.lastIndexOf(u'/');
        const QString parent = slash == 0 ? u"/"_s : path.left(slash);
        m_orgs.append(QJsonObject{{u"orgUnitPath"_s, path},
                                  {u"orgUnitId"_s, S(u"id:03ph"_s + nextNumericId(10).right(8))},
                                  {u"name"_s, S(path.mid(slash + 1))},
                                  {u"description"_s, S(description)},
                                  {u"parentOrgUnitPath"_s, parent}});
    };
    add(u"/Staff"_s, u"All staff"_s);
    add(u"/Staff/Administrators"_s, u"District and school administrators"_s);
    add(u"/Staff/Support"_s, u"Office and support staff"_s);
    add(u"/Staff/Teachers"_s, u"Classroom teachers"_s);
    add(u"/Students"_s, u"All students"_s);
    for (int grade = 6; grade <= 12; ++grade)
        add(u"/Students/Grade "_s + QString::number(grade),
            u"Class of "_s + QString::number(m_now.date().year() + 12 - grade));
    add(u"/Suspended Accounts"_s, u"Departed staff and students"_s);
}

QJsonObject District::makeUser(const QString &first, const QString &last, const QString &domain, const QString &ou) {
    const QDateTime created = daysAgo(2000);
    const bool neverLoggedIn = chance(4);
    return QJsonObject{
        {u"primaryEmail"_s, uniqueEmail(first, last, domain)},
        {u"id"_s, nextNumericId(21)},
        {u"givenName"_s, first},
        {u"familyName"_s, last},
        {u"orgUnitPath"_s, ou},
        {u"suspended"_s, false},
        {u"isAdmin"_s, false},
        {u"isEnrolledIn2Sv"_s, !ou.startsWith(u"/Students"_s) && chance(70)},
        {u"isEnforcedIn2Sv"_s, false},
        {u"creationTime"_s, iso(created)},
        {u"lastLoginTime"_s, neverLoggedIn ? u"Never"_s : iso(daysAgo(20))},
        {u"changePasswordAtNextLogin"_s, false},
        {u"passwordVersion"_s, 1},
    };
}

void District::addUsers() {
    const int staff = std::max(6, m_count / 20);
    const int teachers = std::max(4, m_count / 10);
    const int students = m_count - staff - teachers;
    QJsonObject admin = makeUser(u"District"_s, u"Admin"_s, m_domain, u"/Staff/Administrators"_s);
    admin[u"primaryEmail"_s] = S(u"admin@"_s + m_domain);
    admin[u"isAdmin"_s] = true;
    admin[u"isEnrolledIn2Sv"_s] = true;
    m_admin = admin.value(u"primaryEmail"_s).toString();
    m_emails.insert(m_admin);
    QList<QJsonObject> people{admin};
    for (int i = 1; i < staff; ++i)
        people.append(makeUser(firstNames.at(pick(int(firstNames.size()))), lastNames.at(pick(int(lastNames.size()))),
                               m_domain, i % 3 == 0 ? u"/Staff/Administrators"_s : u"/Staff/Support"_s));
    for (int i = 0; i < teachers; ++i) {
        QJsonObject t = makeUser(firstNames.at(pick(int(firstNames.size()))), lastNames.at(pick(int(lastNames.size()))),
                                 m_domain, u"/Staff/Teachers"_s);
        if (i == 0) { // the compromised teacher, always the same address
            m_emails.remove(t.value(u"primaryEmail"_s).toString());
            t[u"givenName"_s] = u"Morgan"_s;
            t[u"familyName"_s] = u"Ellis"_s;
            t[u"primaryEmail"_s] = S(u"morgan.ellis@"_s + m_domain);
            m_emails.insert(u"morgan.ellis@"_s + m_domain);
            m_compromised = t.value(u"primaryEmail"_s).toString();
        }
        m_teachers.append(t.value(u"primaryEmail"_s).toString());
        people.append(t);
    }
    for (int i = 0; i < students; ++i)
        people.append(makeUser(firstNames.at(pick(int(firstNames.size()))), lastNames.at(pick(int(lastNames.size()))),
                               m_students, u"/Students/Grade "_s + QString::number(6 + i % 7)));
    for (qsizetype i = 0; i < people.size(); ++i) {
        QJsonObject &user = people[i];
        const QString email = user.value(u"primaryEmail"_s).toString();
        if (i > 1 && email != m_compromised && chance(3)) {
            user[u"suspended"_s] = true;
            user[u"suspensionReason"_s] = u"ADMIN"_s;
            user[u"orgUnitPath"_s] = u"/Suspended Accounts"_s;
        }
        user[u"recoveryPhone"_s] = S(u"+1555010"_s + QString::number(1000 + pick(8999)).right(4));
        if (email == m_compromised)
            compromise(user);
        addMail(user, int(i));
        addFiles(user, int(i));
        addLogins(user, int(i));
        m_users.append(user);
    }
}

void District::addMail(QJsonObject &user, int index) {
    const QString email = user.value(u"primaryEmail"_s).toString();
    const bool student = email.endsWith(u'@' + m_students);
    struct Template {
        QString from, subject, snippet;
    };
    const QList<Template> ordinary = {
        {u"Principal Office <principal@"_s + m_domain + u'>', u"Weekly update from the principal"_s,
         u"Here is what is happening at school this week"_s},
        {u"District Communications <news@"_s + m_domain + u'>', u"Calendar: early release on Friday"_s,
         u"Students will be released two hours early"_s},
        {u"Library <library@"_s + m_domain + u'>', u"Your book is due soon"_s, u"Please return or renew"_s},
        {u"Field Trips <trips@"_s + m_domain + u'>', u"Field trip permission form"_s,
         u"Please return the signed permission form"_s},
        {u"Athletics <athletics@"_s + m_domain + u'>', u"Practice schedule changes"_s, u"Practice moves to the gym"_s},
    };
    QJsonArray messages;
    auto add = [&](const QString &from, const QString &subject, const QString &snippet, const QString &messageId,
                   const QDateTime &when) {
        const QString id = hexId();
        messages.append(QJsonObject{{u"id"_s, id},
                                    {u"threadId"_s, id},
                                    {u"messageId"_s, messageId},
                                    {u"from"_s, from},
                                    {u"to"_s, email},
                                    {u"subject"_s, subject},
                                    {u"snippet"_s, snippet},
                                    {u"date"_s, QLocale::c().toString(when, u"ddd, d MMM yyyy HH:mm:ss +0000"_s)},
                                    {u"internalDate"_s, when.toSecsSinceEpoch()},
                                    {u"labels"_s, QJsonArray{u"INBOX"_s}}});
    };
    const int ordinaryCount = 2 + pick(3);
    for (int k = 0; k < ordinaryCount; ++k) {
        const Template &t = ordinary.at(pick(int(ordinary.size())));
        add(t.from, t.subject, t.snippet, u'<' + hexId() + u"@mail."_s + m_domain + u'>', daysAgo(60));
    }
    // The phishing campaign: one sender, one Message-ID, many mailboxes, staff hit harder.
    if (email == m_compromised || index % (student ? 9 : 3) == 1)
        add(u"IT Help Desk <"_s + QLatin1StringView(Seeded::phishSender) + u'>',
            QLatin1StringView(Seeded::phishSubject),
            u"Your password expires today. Keep your password: https://secure-login.example.net/verify"_s,
            QLatin1StringView(Seeded::phishMessageId), m_now.addDays(-3));
    user[u"messages"_s] = messages;
}

void District::addFiles(const QJsonObject &user, int index) {
    const QString email = user.value(u"primaryEmail"_s).toString();
    struct Kind {
        QString name, mime;
        qint64 size;
    };
    const QList<Kind> kinds = {
        {u"Lesson plan"_s, u"application/vnd.google-apps.document"_s, 0},
        {u"Gradebook"_s, u"application/vnd.google-apps.spreadsheet"_s, 0},
        {u"report_2024.pdf"_s, u"application/pdf"_s, 184320},
        {u"Field trip photos"_s, u"application/vnd.google-apps.folder"_s, 0},
        {u"Essay draft"_s, u"application/vnd.google-apps.document"_s, 0},
        {u"Budget notes.xlsx"_s, u"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"_s, 20480},
    };
    auto add = [&](const QString &name, const QString &mime, qint64 size, const QString &visibility) {
        const QString id = fileId();
        QJsonObject file{
            {u"id"_s, id},
            {u"name"_s, name},
            {u"mimeType"_s, mime},
            {u"modifiedTime"_s, iso(daysAgo(200))},
            {u"owner"_s, email},
            {u"ownerName"_s, S(user.value(u"givenName"_s).toString() + u' ' + user.value(u"familyName"_s).toString())},
            {u"trashed"_s, false},
            {u"visibility"_s, visibility},
            {u"webViewLink"_s, S(u"https://drive.google.com/file/d/"_s + id + u"/view"_s)}};
        if (size > 0)
            file[u"size"_s] = QString::number(size);
        if (mime == u"application/vnd.google-apps.site"_s)
            file[u"webViewLink"_s] =
                S(u"https://sites.google.com/"_s + m_domain + u"/"_s + name.toLower().replace(u' ', u'-'));
        m_files.append(file);
    };
    const int count = 1 + pick(3);
    for (int k = 0; k < count; ++k) {
        const Kind &kind = kinds.at(pick(int(kinds.size())));
        add(kind.name, kind.mime, kind.size, chance(8) ? u"anyoneWithLink"_s : u"private"_s);
    }
    if (index % 10 == 2 || email == m_compromised)
        add(QLatin1StringView(Seeded::maliciousFile), u"text/html"_s, 4311, u"private"_s);
    if (index % 40 == 5)
        add(u"Robotics Club"_s, u"application/vnd.google-apps.site"_s, 0, u"domainWithLink"_s);
    if (email == m_compromised) {
        add(u"Staff Portal Sign-in"_s, u"application/vnd.google-apps.site"_s, 0, u"anyoneWithLink"_s);
        add(u"Payroll export.csv"_s, u"text/csv"_s, 96256, u"externalUsers"_s);
    }
}

void District::addSharedDrives() {
    const QStringList names = {u"District Office"_s, u"Curriculum"_s, u"Athletics"_s};
    for (qsizetype d = 0; d < names.size(); ++d) {
        const QString driveId = u"0AAp"_s + fileId().mid(2, 15);
        m_drives.append(QJsonObject{{u"id"_s, driveId}, {u"name"_s, names.at(d)}});
        QStringList fileNames = {u"Handbook"_s, u"Meeting notes"_s, u"Schedule 2024.pdf"_s};
        if (d != 2)
            fileNames.append(QLatin1StringView(Seeded::maliciousFile));
        for (const QString &name : fileNames) {
            const QString id = fileId();
            m_files.append(
                QJsonObject{{u"id"_s, id},
                            {u"name"_s, name},
                            {u"mimeType"_s, name.endsWith(u".html"_s)  ? u"text/html"_s
                                            : name.endsWith(u".pdf"_s) ? u"application/pdf"_s
                                                                       : u"application/vnd.google-apps.document"_s},
                            {u"modifiedTime"_s, iso(daysAgo(120))},
                            {u"owner"_s, m_admin},
                            {u"driveId"_s, driveId},
                            {u"trashed"_s, false},
                            {u"visibility"_s, u"private"_s},
                            {u"webViewLink"_s, S(u"https://drive.google.com/file/d/"_s + id + u"/view"_s)}});
        }
    }
}

void District::addCourses() {
    const int count = std::max(10, m_count / 25);
    for (int i = 0; i < count; ++i) {
        const bool orphaned = i % 9 == 4;
        const QString teacher = m_teachers.at(i % m_teachers.size());
        const QString state =
            i < 5 ? courseStates.at(i) : (i % 6 == 1 ? u"ARCHIVED"_s : courseStates.at(pick(10) < 8 ? 0 : pick(5)));
        const QString name = subjects.at(i % subjects.size()) + u" — Period "_s + QString::number(1 + i % 7);
        QJsonObject course{{u"id"_s, QString::number(600000000000LL + qint64(i) * 7919 + pick(7000))},
                           {u"name"_s, name},
                           {u"section"_s, S(u"Period "_s + QString::number(1 + i % 7))},
                           {u"courseState"_s, state},
                           {u"creationTime"_s, iso(daysAgo(700))},
                           {u"updateTime"_s, iso(daysAgo(30))}};
        if (orphaned) {
            course[u"ownerId"_s] = S(nextNumericId(21)); // the owner's account has been deleted
            course[u"teachers"_s] = QJsonArray{};
        } else {
            course[u"ownerEmail"_s] = teacher;
            course[u"teachers"_s] = QJsonArray{teacher};
        }
        m_courses.append(course);
    }
    // Names Classroom accepts that a table, a confirmation and an export have to survive.
    const QList<std::pair<QString, QString>> awkward = {
        {u"Math, Grade 7 \"Honors\""_s, u"ACTIVE"_s},
        {u"Robotics Club\nAfter School"_s, u"ARCHIVED"_s},
        {u"מתמטיקה — כיתה ז׳"_s, u"ACTIVE"_s},
        {u"العلوم (الصف 8)"_s, u"PROVISIONED"_s},
    };
    for (qsizetype k = 0; k < awkward.size(); ++k) {
        const QString teacher = m_teachers.at(int(k % m_teachers.size()));
        m_courses.append(QJsonObject{{u"id"_s, QString::number(700000000000LL + qint64(k) * 104729)},
                                     {u"name"_s, awkward.at(k).first},
                                     {u"courseState"_s, awkward.at(k).second},
                                     {u"creationTime"_s, iso(m_now.addDays(-400))},
                                     {u"updateTime"_s, iso(m_now.addDays(-20))},
                                     {u"ownerEmail"_s, teacher},
                                     {u"teachers"_s, QJsonArray{teacher}}});
    }
}

void District::compromise(QJsonObject &user) {
    const QString email = user.value(u"primaryEmail"_s).toString();
    const QString exfil = QLatin1StringView(Seeded::exfilAddress);
    user[u"filters"_s] = QJsonArray{
        QJsonObject{{u"id"_s, u"ANe1BmhPq2Vx7Lw"_s},
                    {u"criteria"_s, QJsonObject{{u"query"_s, u"invoice OR payment OR wire"_s}}},
                    {u"action"_s, QJsonObject{{u"forward"_s, exfil}, {u"archive"_s, true}, {u"markread"_s, true}}}},
        QJsonObject{{u"id"_s, u"ANe1BmjR4sTu9Yz"_s},
                    {u"criteria"_s, QJsonObject{{u"from"_s, S(u"security@"_s + m_domain)}}},
                    {u"action"_s, QJsonObject{{u"trash"_s, true}}}},
    };
    user[u"forwarding"_s] =
        QJsonObject{{u"enabled"_s, true}, {u"forwardTo"_s, exfil}, {u"disposition"_s, u"archive"_s}};
    user[u"forwardingAddresses"_s] =
        QJsonArray{QJsonObject{{u"forwardingEmail"_s, exfil}, {u"verificationStatus"_s, u"accepted"_s}}};
    user[u"delegates"_s] = QJsonArray{QJsonObject{{u"delegateAddress"_s, S(u"it-support.desk@"_s + m_domain)},
                                                  {u"delegationStatus"_s, u"accepted"_s}}};
    user[u"tokens"_s] = QJsonArray{
        QJsonObject{{u"clientId"_s, u"884120337612-mailsync.apps.googleusercontent.com"_s},
                    {u"displayText"_s, u"Mail Backup Pro"_s},
                    {u"anonymous"_s, false},
                    {u"nativeApp"_s, false},
                    {u"scopes"_s, QJsonArray{u"https://mail.google.com/"_s, u"openid"_s}}},
        QJsonObject{{u"clientId"_s, u"77185425430.apps.googleusercontent.com"_s},
                    {u"displayText"_s, u"Google Chrome"_s},
                    {u"anonymous"_s, false},
                    {u"nativeApp"_s, true},
                    {u"scopes"_s, QJsonArray{u"https://www.google.com/accounts/OAuthLogin"_s}}},
    };
    user[u"calendarAcls"_s] = QJsonArray{
        QJsonObject{{u"id"_s, S(u"user:"_s + exfil)},
                    {u"role"_s, u"reader"_s},
                    {u"scopeType"_s, u"user"_s},
                    {u"scopeValue"_s, exfil}},
        QJsonObject{{u"id"_s, S(u"domain:"_s + m_domain)},
                    {u"role"_s, u"freeBusyReader"_s},
                    {u"scopeType"_s, u"domain"_s},
                    {u"scopeValue"_s, m_domain}},
        QJsonObject{{u"id"_s, u"default"_s},
                    {u"role"_s, u"reader"_s},
                    {u"scopeType"_s, u"default"_s},
                    {u"scopeValue"_s, u""_s}},
    };
    user[u"signature"_s] =
        u"<div dir=\"ltr\">Morgan Ellis<br>Science Department<br><a href=\"https://secure-login.example.net/verify\">"
        u"Please confirm your staff account here</a></div>"_s;
    user[u"isEnrolledIn2Sv"_s] = false;
    user[u"recoveryPhone"_s] = u"+15550199999"_s;
    user[u"recoveryEmail"_s] = exfil;
    user[u"backupCodes"_s] = QJsonArray{u"41758203"_s, u"90366142"_s, u"27715930"_s};
}

QJsonObject District::loginEvent(const QString &email, const QString &userId, const QString &name, const QString &type,
                                 const QDateTime &time, const QString &ip, QJsonObject params) {
    params.insert(u"login_timestamp"_s, QString::number(time.toMSecsSinceEpoch() * 1000));
    return QJsonObject{{u"user"_s, email},
                       {u"profileId"_s, userId},
                       {u"name"_s, name},
                       {u"type"_s, type},
                       {u"time"_s, iso(time)},
                       {u"ipAddress"_s, ip},
                       {u"uniqueQualifier"_s, S(u"-"_s + QString::number(2856812962461786LL + qint64(++m_serial)))},
                       {u"params"_s, params}};
}

QJsonObject District::driveEvent(const QString &email, const QString &name, const QDateTime &time, const QString &ip,
                                 const QJsonObject &file) {
    return QJsonObject{{u"user"_s, email},
                       {u"name"_s, name},
                       {u"type"_s, u"access"_s},
                       {u"time"_s, iso(time)},
                       {u"ipAddress"_s, ip},
                       {u"uniqueQualifier"_s, S(u"-"_s + QString::number(7746120394501LL + qint64(++m_serial)))},
                       {u"params"_s, QJsonObject{{u"doc_id"_s, file.value(u"id"_s)},
                                                 {u"doc_title"_s, file.value(u"name"_s)},
                                                 {u"doc_type"_s, u"document"_s},
                                                 {u"owner"_s, file.value(u"owner"_s)},
                                                 {u"visibility"_s, file.value(u"visibility"_s)},
                                                 {u"primary_event"_s, true},
                                                 {u"billable"_s, true}}}};
}

void District::addLogins(const QJsonObject &user, int index) {
    const QString email = user.value(u"primaryEmail"_s).toString();
    const QString id = user.value(u"id"_s).toString();
    if (user.value(u"lastLoginTime"_s).toString() == u"Never"_s)
        return;
    const QString homeIp = u"198.51.100."_s + QString::number(10 + index % 200);
    const QJsonObject ok{{u"login_type"_s, u"google_password"_s},
                         {u"login_challenge_method"_s, u"password"_s},
                         {u"is_suspicious"_s, false},
                         {u"is_second_factor"_s, false}};
    m_logins.append(loginEvent(email, id, u"login_success"_s, u"login"_s, daysAgo(14), homeIp, ok));
    if (index % 50 == 7) { // a few failed guesses from the known-bad address across the domain
        QJsonObject failed = ok;
        failed[u"login_failure_type"_s] = u"login_failure_invalid_password"_s;
        failed[u"is_suspicious"_s] = true;
        m_logins.append(loginEvent(email, id, u"login_failure"_s, u"login"_s, daysAgo(5),
                                   QLatin1StringView(Seeded::knownBadIP), failed));
    }
    if (email != m_compromised)
        return;
    const QString bad = QLatin1StringView(Seeded::knownBadIP);
    QJsonObject suspicious = ok;
    suspicious[u"is_suspicious"_s] = true;
    m_logins.append(loginEvent(email, id, u"login_success"_s, u"login"_s, m_now.addDays(-2), bad, suspicious));
    m_logins.append(loginEvent(email, id, u"risky_sensitive_action_allowed"_s, u"account_warning"_s,
                               m_now.addDays(-2).addSecs(120), bad,
                               QJsonObject{{u"sensitive_action_name"_s, u"gmail_forwarding_change"_s}}));
    m_logins.append(loginEvent(email, id, u"risky_sensitive_action_allowed"_s, u"account_warning"_s,
                               m_now.addDays(-2).addSecs(300), bad,
                               QJsonObject{{u"sensitive_action_name"_s, u"add_app_password"_s}}));
    m_logins.append(loginEvent(email, id, u"password_edit"_s, u"account_warning"_s, m_now.addDays(-1), bad,
                               QJsonObject{{u"affected_email_address"_s, email}}));
    for (const QJsonValue &file : std::as_const(m_files)) {
        const QJsonObject f = file.toObject();
        if (f.value(u"owner"_s).toString() == email) {
            m_driveEvents.append(driveEvent(email, u"download"_s, m_now.addDays(-2).addSecs(600), bad, f));
            m_driveEvents.append(driveEvent(email, u"view"_s, daysAgo(20), homeIp, f));
        }
    }
}

void District::addAlerts() {
    auto alert = [this](const QString &type, const QString &source, const QString &severity, const QJsonObject &data,
                        const QDateTime &when) {
        m_alerts.append(QJsonObject{
            {u"alertId"_s, S(u"b"_s + hexId() + u"-a1c2"_s)},
            {u"createTime"_s, iso(when)},
            {u"startTime"_s, iso(when.addSecs(-600))},
            {u"endTime"_s, iso(when.addSecs(-60))},
            {u"customerId"_s, m_customerId},
            {u"type"_s, type},
            {u"source"_s, source},
            {u"deleted"_s, false},
            {u"data"_s, data},
            {u"metadata"_s,
             QJsonObject{{u"severity"_s, severity}, {u"status"_s, u"NOT_STARTED"_s}, {u"updateTime"_s, iso(when)}}}});
    };
    const QString bad = QLatin1StringView(Seeded::knownBadIP);
    alert(u"Suspicious login"_s, u"Google identity"_s, u"HIGH"_s,
          QJsonObject{{u"email"_s, m_compromised}, {u"loginDetails"_s, QJsonObject{{u"ipAddress"_s, bad}}}},
          m_now.addDays(-2));
    alert(u"User reported phishing"_s, u"Gmail phishing"_s, u"MEDIUM"_s,
          QJsonObject{{u"email"_s, m_teachers.value(1, m_admin)},
                      {u"messages"_s, QLatin1StringView(Seeded::phishMessageId)}},
          m_now.addDays(-3));
    alert(u"Suspicious programmatic login"_s, u"Google identity"_s, u"MEDIUM"_s,
          QJsonObject{{u"email"_s, m_compromised}}, m_now.addDays(-1));
    alert(u"Device compromised"_s, u"Mobile device management"_s, u"LOW"_s,
          QJsonObject{{u"email"_s, m_admin}, {u"deviceModel"_s, u"Practice Phone"_s}}, m_now.addDays(-9));
}

QJsonObject District::build() {
    m_customerId = u"C0"_s + QString::number(m_rng() % 89999999 + 10000000, 36);
    addOrgs();
    addUsers();
    addSharedDrives();
    addCourses();
    addAlerts();
    return QJsonObject{{u"practice"_s, true},
                       {u"domain"_s, m_domain},
                       {u"studentDomain"_s, m_students},
                       {u"customerId"_s, m_customerId},
                       {u"admin"_s, m_admin},
                       {u"compromised"_s, m_compromised},
                       {u"seededAt"_s, iso(m_now)},
                       {u"serviceAccountAuthorized"_s, true},
                       {u"orgs"_s, m_orgs},
                       {u"users"_s, m_users},
                       {u"files"_s, m_files},
                       {u"sharedDrives"_s, m_drives},
                       {u"courses"_s, m_courses},
                       {u"loginEvents"_s, m_logins},
                       {u"driveEvents"_s, m_driveEvents},
                       {u"alerts"_s, m_alerts}};
}

bool writeJson(const QString &path, const QJsonObject &object, QString *error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = path + u": "_s + file.errorString();
        return false;
    }
    file.write(QJsonDocument(object).toJson());
    if (file.commit())
        return true;
    *error = path + u": "_s + file.errorString();
    return false;
}

} // namespace

QJsonObject seedDistrict(const QString &domain, int userCount, quint32 seed) {
    return District(domain.toLower(), userCount, seed).build();
}

bool writePracticeCredentials(const QString &configDir, const QString &domain, const QString &admin, bool project,
                              bool oauth, QString *error) {
    const QString projectId = u"practice-"_s + QString(domain).replace(u'.', u'-');
    const QString clientId = u"000000000000-practice.apps.googleusercontent.com"_s;
    if (!QDir().mkpath(configDir)) {
        *error = configDir + u": cannot create folder"_s;
        return false;
    }
    QFile::setPermissions(configDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (project) {
        if (!writeJson(configDir + u"/client_secrets.json"_s,
                       QJsonObject{{u"installed"_s, QJsonObject{{u"client_id"_s, clientId},
                                                                {u"client_secret"_s, u"practice-not-a-secret"_s},
                                                                {u"project_id"_s, projectId},
                                                                {u"practice"_s, true}}}},
                       error))
            return false;
        if (!writeJson(configDir + u"/oauth2service.json"_s,
                       QJsonObject{{u"type"_s, u"service_account"_s},
                                   {u"project_id"_s, projectId},
                                   {u"client_email"_s, S(u"gam-project@"_s + projectId + u".example.com"_s)},
                                   {u"client_id"_s, u"100000000000000000001"_s},
                                   {u"private_key"_s, u"practice domain: no key"_s},
                                   {u"practice"_s, true}},
                       error))
            return false;
    }
    if (oauth &&
        !writeJson(configDir + u"/oauth2.txt"_s,
                   QJsonObject{{u"client_id"_s, clientId},
                               {u"refresh_token"_s, u"practice-refresh-token"_s},
                               {u"token"_s, u"practice-access-token"_s},
                               {u"scopes"_s, QJsonArray{u"https://www.googleapis.com/auth/admin.directory.user"_s}},
                               {u"id_token_data"_s, QJsonObject{{u"email"_s, admin}, {u"hd"_s, domain}}},
                               {u"practice"_s, true}},
                   error))
        return false;
    return true;
}

bool isPracticeToken(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return QJsonDocument::fromJson(file.readAll()).object().value(u"practice"_s).toBool();
}
