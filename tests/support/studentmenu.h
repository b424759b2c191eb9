#pragma once

class MenuItem;

// A small menu tree for tests and demos: Students > Student Records ("/stu/records.opt").
MenuItem *studentMenu();
