#include "studentmenu.h"

#include "menu/menuitem.h"

MenuItem *studentMenu()
{
    auto *root = new MenuItem;
    auto *category = new MenuItem;
    category->menuPath = QStringLiteral("/stu");
    category->title = QStringLiteral("Students");
    category->parent = root;
    category->depth = 1;
    root->children.append(category);
    auto *program = new MenuItem;
    program->menuPath = QStringLiteral("/stu/records.opt");
    program->title = QStringLiteral("Student Records");
    program->parent = category;
    program->depth = 2;
    category->children.append(program);
    return root;
}
