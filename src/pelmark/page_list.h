#pragma once
// An intrusive doubly linked list of page records (a thread heap's available,
// full and empty lists). The head of a class's available list is that
// class's current page.

#include "pelmark/page_record.h"

namespace pelmark {

struct PageList {
  PageRecord* head = nullptr;
  PageRecord* tail = nullptr;

  bool empty() const { return head == nullptr; }

  void push_front(PageRecord& page) {
    page.prev = nullptr;
    page.next = head;
    if (head != nullptr) head->prev = &page; else tail = &page;
    head = &page;
  }

  void push_back(PageRecord& page) {
    page.next = nullptr;
    page.prev = tail;
    if (tail != nullptr) tail->next = &page; else head = &page;
    tail = &page;
  }

  void remove(PageRecord& page) {
    if (page.prev != nullptr) page.prev->next = page.next; else head = page.next;
    if (page.next != nullptr) page.next->prev = page.prev; else tail = page.prev;
    page.next = nullptr;
    page.prev = nullptr;
  }
};

}  // namespace pelmark
