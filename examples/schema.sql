-- The demo's output database: an existing table the import writes into.
CREATE TABLE 顧客 (
    顧客コード VARCHAR(10) PRIMARY KEY,
    氏名 VARCHAR(50) NOT NULL,
    フリガナ VARCHAR(50),
    売上金額 CURRENCY,
    初回取引日 DATETIME,
    備考 TEXT
);
INSERT INTO 顧客 VALUES ('OLD1', '前回の顧客', NULL, 1, '2020-01-01', NULL);

CREATE TABLE 品目 (
    コード VARCHAR(10) PRIMARY KEY,
    品名 VARCHAR(50),
    数量 INTEGER,
    単価 CURRENCY,
    納品日 DATE
);
