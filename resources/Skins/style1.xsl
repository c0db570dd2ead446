<?xml version="1.0" encoding="UTF-8"?>
<!-- Shows a saved forum topic: its header values, its text and every reply.
     Texts are shown as text (never as markup), line breaks kept. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="no"
              doctype-public="-//W3C//DTD HTML 4.01//EN"/>

  <xsl:template match="/">
    <xsl:apply-templates select="*[local-name()='Topic']"/>
  </xsl:template>

  <xsl:template match="*[local-name()='Topic']">
    <xsl:variable name="issue" select="*[local-name()='Issue']"/>
    <html>
      <head>
        <meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
        <title><xsl:value-of select="$issue/*[local-name()='TopicName']"/></title>
        <style type="text/css">
          body { font-family: "Noto Sans CJK SC", "WenQuanYi Micro Hei", sans-serif;
                 font-size: 14px; margin: 12px; color: #222; background: #fff; }
          h1 { font-size: 20px; margin: 0 0 8px 0; color: #134; }
          table.header { border-collapse: collapse; margin-bottom: 12px; }
          table.header td { border: 1px solid #cdd; padding: 3px 8px; }
          table.header td.name { background: #eef3f6; color: #456; white-space: nowrap; }
          .post { border: 1px solid #cdd; margin: 0 0 10px 0; }
          .post .by { background: #eef3f6; padding: 4px 8px; color: #345; }
          .post .by b { color: #134; }
          .post .text { padding: 8px; white-space: pre-wrap; word-wrap: break-word; }
          .issue { border-color: #9bb; }
          .closed { color: #a33; font-weight: bold; }
          h2 { font-size: 16px; margin: 16px 0 8px 0; color: #134; }
        </style>
      </head>
      <body>
        <h1 class="topic-title"><xsl:value-of select="$issue/*[local-name()='TopicName']"/></h1>
        <table class="header">
          <tr>
            <td class="name">版块</td>
            <td><xsl:value-of select="$issue/*[local-name()='RoomName']"/></td>
            <td class="name">发表时间</td>
            <td><xsl:value-of select="$issue/*[local-name()='PostDateTime']"/></td>
          </tr>
          <tr>
            <td class="name">楼主</td>
            <td>
              <xsl:value-of select="$issue/*[local-name()='PostUserName']"/>
              <xsl:variable name="nick" select="$issue/*[local-name()='PostUserNickName']"/>
              <xsl:if test="string($nick) != '' and string($nick) != 'NULL'">
                <xsl:text> (</xsl:text><xsl:value-of select="$nick"/><xsl:text>)</xsl:text>
              </xsl:if>
            </td>
            <td class="name">等级 / 信誉</td>
            <td>
              <xsl:value-of select="$issue/*[local-name()='Rank']"/>
              <xsl:text> / </xsl:text>
              <xsl:value-of select="$issue/*[local-name()='Credit']"/>
            </td>
          </tr>
          <tr>
            <td class="name">分值</td>
            <td><xsl:value-of select="$issue/*[local-name()='Point']"/></td>
            <td class="name">回复 / 阅读</td>
            <td>
              <xsl:value-of select="$issue/*[local-name()='ReplyNum']"/>
              <xsl:text> / </xsl:text>
              <xsl:value-of select="$issue/*[local-name()='ReadNum']"/>
            </td>
          </tr>
          <tr>
            <td class="name">状态</td>
            <td colspan="3">
              <xsl:choose>
                <xsl:when test="number($issue/*[local-name()='EndState']) != 0">
                  <span class="closed">已结帖</span>
                </xsl:when>
                <xsl:otherwise>未结帖</xsl:otherwise>
              </xsl:choose>
            </td>
          </tr>
        </table>

        <div class="post issue">
          <div class="by">
            <b><xsl:value-of select="$issue/*[local-name()='PostUserName']"/></b>
            <xsl:text> </xsl:text>
            <xsl:value-of select="$issue/*[local-name()='PostDateTime']"/>
          </div>
          <div class="text"><xsl:value-of select="$issue/*[local-name()='Content']"/></div>
        </div>

        <xsl:variable name="replies" select=".//*[local-name()='Reply']"/>
        <h2>回复 (<xsl:value-of select="count($replies)"/>)</h2>
        <xsl:for-each select="$replies">
          <div class="post reply">
            <div class="by">
              <xsl:text>#</xsl:text><xsl:value-of select="position()"/><xsl:text> </xsl:text>
              <b><xsl:value-of select="*[local-name()='PostUserName']"/></b>
              <xsl:variable name="nick" select="*[local-name()='PostUserNickName']"/>
              <xsl:if test="string($nick) != '' and string($nick) != 'NULL'">
                <xsl:text> (</xsl:text><xsl:value-of select="$nick"/><xsl:text>)</xsl:text>
              </xsl:if>
              <xsl:text> </xsl:text>
              <xsl:value-of select="*[local-name()='PostDateTime']"/>
              <xsl:if test="string(*[local-name()='Point']) != '' and string(*[local-name()='Point']) != '0'">
                <xsl:text> 得分 </xsl:text><xsl:value-of select="*[local-name()='Point']"/>
              </xsl:if>
            </div>
            <div class="text"><xsl:value-of select="*[local-name()='Content']"/></div>
          </div>
        </xsl:for-each>
      </body>
    </html>
  </xsl:template>
</xsl:stylesheet>
