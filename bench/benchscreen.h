#pragma once

#include <QByteArray>

// The screen both the loader and the key-path benchmarks use: 200 labelled 20-character fields in
// two columns, over two pages.
constexpr int BenchScreenFields = 200;
constexpr int BenchScreenFieldsPerRow = 2;

inline QByteArray benchScreenDocument()
{
    QByteArray ui;
    ui += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n <class>bench</class>\n"
          " <widget class=\"ZuScreen\" name=\"bench\">\n"
          "  <property name=\"windowTitle\"><string>Benchmark Screen</string></property>\n"
          "  <property name=\"breaks\"><string>50</string></property>\n"
          "  <property name=\"extents\"><rect><x>0</x><y>0</y><width>80</width><height>100</height></rect>"
          "</property>\n"
          "  <widget class=\"QWidget\" name=\"visible_widgets\">\n"
          "   <layout class=\"QGridLayout\" name=\"grid\">\n";
    for (int i = 0; i < BenchScreenFields; ++i) {
        const int row = i / BenchScreenFieldsPerRow;
        const int column = (i % BenchScreenFieldsPerRow) * 40;
        const QByteArray n = QByteArray::number(i);
        ui += "    <item row=\"" + QByteArray::number(row) + "\" column=\"" + QByteArray::number(column)
            + "\" colspan=\"12\">\n     <widget class=\"QLabel\" name=\"label_" + n
            + "\"><property name=\"text\"><string>Field " + n
            + "</string></property></widget>\n    </item>\n";
        ui += "    <item row=\"" + QByteArray::number(row) + "\" column=\"" + QByteArray::number(column + 14)
            + "\" colspan=\"20\">\n     <widget class=\"ZuFieldWidget\" name=\"field_" + n + "\">\n"
            + "      <property name=\"labelName\"><string>label_" + n + "</string></property>\n"
            + "      <property name=\"propLength\"><number>20</number></property>\n"
            + "      <property name=\"propUpshift\"><bool>true</bool></property>\n"
            + "      <property name=\"toolTip\"><string>Field number " + n + "</string></property>\n"
            + "     </widget>\n    </item>\n";
    }
    ui += "   </layout>\n  </widget>\n </widget>\n <customwidgets>\n"
          "  <customwidget><class>ZuScreen</class><extends>QWidget</extends><header>zuscreen.h</header>"
          "<container>1</container></customwidget>\n"
          "  <customwidget><class>ZuFieldWidget</class><extends>QWidget</extends>"
          "<header>zufieldwidget.h</header></customwidget>\n"
          " </customwidgets>\n <resources/>\n <connections/>\n</ui>\n";
    return ui;
}
