import unittest

from reading_list import Book, add_book, format_list


class AddBookTest(unittest.TestCase):
    def test_adds_a_book_to_read(self):
        books = []
        self.assertTrue(add_book(books, "Dune", "Frank Herbert"))
        self.assertEqual(books, [Book("Dune", "Frank Herbert", finished=False)])

    def test_the_same_book_twice_is_kept_once(self):
        books = []
        add_book(books, "Dune", "Frank Herbert")
        self.assertFalse(add_book(books, "Dune", "Frank Herbert"))
        self.assertEqual(len(books), 1)


class FormatListTest(unittest.TestCase):
    def test_empty_list(self):
        self.assertEqual(format_list([]), "Your reading list is empty.")

    def test_marks_finished_books(self):
        books = [Book("Dune", "Frank Herbert", finished=True), Book("Emma", "Jane Austen")]
        self.assertEqual(format_list(books), "[\u2713] Dune by Frank Herbert\n[ ] Emma by Jane Austen")


if __name__ == "__main__":
    unittest.main()
