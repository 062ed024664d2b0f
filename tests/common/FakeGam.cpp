#include "FakeGam.h"

#include "TestSupport.h"

#include <QFile>
#include <QSettings>

using namespace Qt::StringLiterals;

FakeGam::FakeGam() {
    const QString dir = m_dir.path();
    m_path = writeScript(dir, u"gam"_s,
                         u"d='"_s + dir +
                             u"'\n"_s
                             u"n=$(cat \"$d/count\" 2>/dev/null || echo 0); n=$((n+1)); echo $n > \"$d/count\"\n"
                             u"for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$d/args.$n\"\n"
                             u"[ -f \"$d/out.$n\" ] && cat \"$d/out.$n\"\n"
                             u"[ -f \"$d/err.$n\" ] && cat \"$d/err.$n\" >&2\n"
                             u"p=; for a in \"$@\"; do [ \"$p\" = csv ] && [ -f \"$d/csv.$n\" ] && "
                             u"cat \"$d/csv.$n\" > \"$a\"; p=$a; done\n"
                             u"[ -f \"$d/signal.$n\" ] && kill -$(cat \"$d/signal.$n\") $$\n"
                             u"[ -f \"$d/hang.$n\" ] && exec sleep 60\n"
                             u"exit $(cat \"$d/rc.$n\" 2>/dev/null || echo 0)\n"_s);
}

void FakeGam::install() const {
    QSettings().setValue(u"gamPath"_s, m_path);
}

void FakeGam::write(const QString &name, const QString &contents) const {
    QFile file(m_dir.path() + u'/' + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write fake gam answer");
    file.write(contents.toUtf8());
}

void FakeGam::answer(int run, const QString &out, const QString &err, int status) {
    const QString n = QString::number(run);
    write(u"out."_s + n, out);
    write(u"err."_s + n, err);
    write(u"rc."_s + n, QString::number(status));
}

void FakeGam::answerRedirectedCSV(int run, const QString &csv) {
    write(u"csv."_s + QString::number(run), csv);
}

void FakeGam::hang(int run) {
    write(u"hang."_s + QString::number(run), {});
}

void FakeGam::endBySignal(int run, int signal) {
    write(u"signal."_s + QString::number(run), QString::number(signal));
}

int FakeGam::runs() const {
    QFile file(m_dir.path() + u"/count"_s);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromUtf8(file.readAll()).trimmed().toInt();
}

QStringList FakeGam::arguments(int run) const {
    QFile file(m_dir.path() + u"/args."_s + QString::number(run));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

FakeGamDistrict::FakeGamDistrict() {
    gam.install();
    DomainProfile profile = profiles.add(u"Lakeside"_s);
    profile.domain = u"lakeside.example.org"_s;
    profiles.update(profile);
    profiles.activate(profile.id);
}
